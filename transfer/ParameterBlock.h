#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// The controller's own parameters, as the advanced settings dialog holds
// them. The 32-byte block that carries them (multi-byte fields little-endian):
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
struct ControllerParameters {
    int num = 1;
    int type = 0;
    int width = 64;
    int height = 16;
    qint64 clock = 18432000;
    qint64 bps = 9600;
    int scanMode = 16;
    int scanFrequency = 100;
    bool bitSwap8 = false;
    int light = 1390;
    bool dataCom = true;
    bool oeCom = true;
    bool autoSwitch = false;
    int translate = 0;
    bool saturdayOff = false;
    bool sundayOff = false;
    int onHour = 8, onMinute = 0, onSecond = 0;
    int offHour = 18, offMinute = 0, offSecond = 0;
    bool english = false;

    bool operator==(const ControllerParameters& other) const;
};

constexpr int kParameterBlockBytes = 32;

// The crystal and serial rate lists of the dialog.
const QStringList& clockTexts();
const QStringList& parameterBpsTexts();
const QStringList& translateTexts();

// The 32-byte block of these parameters.
QByteArray encodeParameterBlock(const ControllerParameters& parameters);

// The parameters a received block shows: switches are on for any non-zero
// byte except "8 bit swap", which needs exactly 0x01; light is 65535 minus
// the field. block must hold 32 bytes.
ControllerParameters decodeParameterBlock(const QByteArray& block);

// The light maximum: (clock div (scan mode x scan frequency) - 400) div 8,
// truncating toward zero; 0 where the product is not positive.
int lightMaximum(qint64 clock, int scanMode, int scanFrequency);

// The scan mode a module type gets by default: 16 for T0 and T13; 1 for T5,
// T6, T11, T12, T18, T19, T24, T25; 4 for the others.
int defaultScanMode(int type);

// The defaults for a module type, with the light maximum for them.
ControllerParameters defaultParameters(int type);

// The parameter frame (53 bytes), controller number 0x00:
//   0  11  write-block header: bank 0, address 0x8000, length 36
//  11  32  the parameter block
//  43   4  "para"
//  47   6  frame header with command 0x04 (save parameters)
QByteArray parameterFrame(const ControllerParameters& parameters);
