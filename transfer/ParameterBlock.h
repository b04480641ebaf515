#pragma once

#include "core/Settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The controller's own parameters, as the advanced settings dialog holds
// them. Every value is a plain number (switches are 0 or 1) so that one
// table, parameterFields(), can encode, decode, range-check, parse and print
// all of them.
struct ControllerParameters {
    qint64 num = 1;
    qint64 type = 0;
    qint64 width = 64;
    qint64 height = 16;
    qint64 clock = 18432000;
    qint64 bps = 9600;
    qint64 scanMode = 16;
    qint64 scanFrequency = 100;
    qint64 light = 1390;
    qint64 bitSwap8 = 0;
    qint64 dataCom = 1;
    qint64 oeCom = 1;
    qint64 autoSwitch = 0;
    qint64 translate = 0;
    qint64 saturdayOff = 0;
    qint64 sundayOff = 0;
    qint64 onHour = 8, onMinute = 0, onSecond = 0;
    qint64 offHour = 18, offMinute = 0, offSecond = 0;
    qint64 english = 0;

    bool operator==(const ControllerParameters& other) const;
    bool operator!=(const ControllerParameters& other) const { return !(*this == other); }
};

// How a value sits in the block.
enum class FieldCoding {
    Number,        // the value's low bytes, little-endian
    Complement,    // 65535 - value (light)
    Switch,        // 0x01 on; any non-zero byte reads as on
    StrictSwitch,  // 0x01 on; only 0x01 reads as on (8 bit swap)
    SwitchFF,      // 0xFF on; any non-zero byte reads as on (data com)
};

// The 32-byte parameter block, one row a field. The rows are in the order
// the dialog and save-para list them; offset decides where a field sits:
//   0  1  num                 16  1  8 bit swap (0x01 on)
//   1  2  type 0..26          17  2  light, sent as 65535 - light
//   3  2  width               19  1  data com (0xFF on)
//   5  1  height              20  1  oe com (0x01 on)
//   6  4  clock in Hz         21  1  auto switch
//  10  4  bps                 22  1  translate: 0 "138", 1 "ABCD"
//  14  1  scan mode 1..16     23  1  Saturday shut down
//  15  1  scan frequency      24  1  Sunday shut down
//         (low 8 bits)        25  3  on hour, minute, second
//                             28  3  off hour, minute, second
//                             31  1  English format
// minimum..maximum is the dialog's range; a field with choices takes only
// the values listed there. Consecutive rows of one name make a time
// (hour, minute, second), written H:MM:SS.
struct ParameterField {
    const char* name;  // as save-para and read-para write it
    int offset;
    int width;
    qint64 minimum;
    qint64 maximum;
    FieldCoding coding;
    qint64 ControllerParameters::*member;
    const QStringList& (*choices)() = nullptr;
};

constexpr int kParameterBlockBytes = 32;
constexpr int kParameterFieldCount = 23;
const std::array<ParameterField, kParameterFieldCount>& parameterFields();
// The row of a member.
const ParameterField& parameterField(qint64 ControllerParameters::*member);

// The crystal and serial rate lists of the dialog, and the row decoders.
const QStringList& clockTexts();
const QStringList& parameterBpsTexts();
const QStringList& translateTexts();

// The 32-byte block of these parameters.
QByteArray encodeParameterBlock(const ControllerParameters& parameters);
// The parameters a received block shows. block must hold 32 bytes.
ControllerParameters decodeParameterBlock(const QByteArray& block);

// NAME=VALUE .. VALUE as read-para prints them, in the table's order.
QString describeParameters(const ControllerParameters& parameters);
// Applies NAME=VALUE assignments (names and ranges of the table; a time as
// H:MM or H:MM:SS). Light, unless given, becomes the light maximum of the
// result. Returns an error text, empty when every assignment was taken.
QString assignParameters(const QStringList& assignments, ControllerParameters* parameters);

// The light maximum: (clock div (scan mode x scan frequency) - 400) div 8,
// truncating toward zero; 0 where the product is not positive.
int lightMaximum(qint64 clock, qint64 scanMode, qint64 scanFrequency);

// The scan mode a module type gets by default: 16 for T0 and T13; 1 for T5,
// T6, T11, T12, T18, T19, T24, T25; 4 for the others.
int defaultScanMode(int type);
// The scan mode the dialog sets when the operator picks a type in its list:
// T0 16, T1..T4 4, T5 and T6 1; the other types leave it as it is.
std::optional<int> scanModeForChosenType(int type);

// The defaults for a module type, with the light maximum for them.
ControllerParameters defaultParameters(int type);

// The parameter frame (53 bytes), controller number 0x00:
//   0  11  write-block header: bank 0, address 0x8000, length 36
//  11  32  the parameter block
//  43   4  "para"
//  47   6  frame header with command 0x04 (save parameters)
QByteArray parameterFrame(const ControllerParameters& parameters);

// The main window's settings after a save: NUM, WIDTH, HEIGHT, SCAN,
// COLOR-SWAP (data com) and BPS (same list position) from the parameters,
// brought into the settings' ranges.
Settings settingsAfterSave(const Settings& current, const ControllerParameters& parameters);
// After a download of type's setup image: the type's defaults, and TYPE.
Settings settingsAfterDownload(const Settings& current, int type);

// What a good READ PARA reply shows.
struct ParameterReply {
    bool apply = false;               // the values below are to be shown
    bool defaultsReply = false;       // the controller reported number 0xFF
    ControllerParameters parameters;  // what the dialog shows
    // What the main window shows: NUM, TYPE, WIDTH, HEIGHT, BPS, SCAN; the
    // other settings as they were.
    Settings settings;
};

// Interprets a 36-byte framed reply: a normal reply shows its block; a
// defaults reply (num 0xFF) shows the defaults of the reported type, or
// nothing for a type above 26.
ParameterReply interpretParameterReply(const QByteArray& reply, const Settings& current);
