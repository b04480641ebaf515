#pragma once

#include <QByteArray>

#include <cstdint>

// Command codes: the last byte of the frame header.
enum class Command : uint8_t {
    WriteBlock = 0x00,
    EndOfData = 0x01,
    SetClock = 0x02,
    SetupDownload = 0x03,
    SaveParameters = 0x04,
    ReadParameters = 0x05,
};

// Frame header, 6 bytes, starts every frame:
//   0  1  controller number
//   1  4  sync 0x55 0xAA 0x55 0xAA
//   5  1  command
void appendFrameHeader(QByteArray& tx, uint8_t controller, Command command);

// Write-block frame, 11 + L bytes (this appends the first 11):
//   0  6  frame header with command 0x00
//   6  1  bank 0..7
//   7  2  address in the bank, little-endian
//   9  2  data length L, little-endian
//  11  L  data
constexpr int kWriteBlockHeaderBytes = 11;
void appendWriteBlockHeader(QByteArray& tx, uint8_t controller, int bank, int address, int length);

// The clock frame: the header with command 0x02 and seven clock bytes.
constexpr int kClockFrameBytes = 13;

// The length of the frame that starts at offset in a transmission built
// here: a write block 11 + L bytes, a clock frame 13, any other command
// frame its 6-byte header; never past the end of tx.
int frameLengthAt(const QByteArray& tx, int offset);

// End frame: the frame header with command 0x01 alone.
void appendEndFrame(QByteArray& tx, uint8_t controller);

// A 16-bit number, low byte first.
void appendLittleEndian16(QByteArray& tx, int value);

// Packed BCD of the low 8 bits v of value: (v div 10) * 16 + v mod 10.
int ToBcd(int value);

// The tags that end the data of a parameter frame and of a setup image.
inline constexpr char kParameterTag[] = "para";
inline constexpr char kDownloadTag[] = "dow";

// A framed reply starts 0xAA 0x55, a byte not examined, then the code.
constexpr int kFramedReplyHeaderBytes = 4;
