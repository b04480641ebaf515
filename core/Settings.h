#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The ten screen and link settings, in the order ck.ini stores them.
struct Settings {
    int NUM = 1;      // controller number, sent at the head of every frame
    int WIDTH = 64;   // screen width in pixels
    int HEIGHT = 16;  // screen height in pixels
    int COMM = 1;     // serial port number N: the port is "com" + N
    int SCAN = 16;    // scan setting
    bool RG_SWAP = false;
    bool COLOR_SWAP = true;
    bool ADJUST = false;
    int TYPE = 0;  // module type index, T0..T26
    int BPS = 0;   // index into bpsTexts()
    // The port as a device path (/dev/serial/by-id/... preferred), kept in
    // marquee.conf beside ck.ini; empty: the port "com" + COMM as before.
    QString PORT = QString();

    // The baud rate that BPS selects (9600 .. 115200).
    int baudRate() const;

    bool operator==(const Settings& other) const;
    bool operator!=(const Settings& other) const { return !(*this == other); }
};

// One setting as stored in ck.ini: its label, range and default.
struct SettingDef {
    const char* label;
    int minimum;
    int maximum;
    int defaultValue;
    bool isFlag;
};

constexpr int kSettingCount = 10;
// Positions in ck.ini and in settingDefs().
enum SettingIndex {
    kNUM,
    kWIDTH,
    kHEIGHT,
    kCOMM,
    kSCAN,
    kRG_SWAP,
    kCOLOR_SWAP,
    kADJUST,
    kTYPE,
    kBPS
};
constexpr int kTypeCount = 27;
constexpr int kBpsCount = 5;

// The definitions in file order: NUM, WIDTH, HEIGHT, COMM, SCAN, RG-SWAP,
// COLOR-SWAP, ADJUST, TYPE, BPS.
const std::array<SettingDef, kSettingCount>& settingDefs();

// The settings as the ten integers written to ck.ini (flags as 1 or 0).
std::array<int, kSettingCount> settingValues(const Settings& settings);

// Applies one value read from ck.ini: flags are on only for 1, everything
// else is clamped into the setting's range.
void applySettingValue(Settings& settings, int index, long long value);

// The module type list ("T0:double Ji color_sell at a discount" ...).
const QStringList& typeTexts();

// The link speed list ("9600" ... "115200").
const QStringList& bpsTexts();
