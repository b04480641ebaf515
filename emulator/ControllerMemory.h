#pragma once

#include "transfer/MemoryMap.h"

#include <QByteArray>
#include <QString>

#include <array>

// The controller's memory: eight banks of 64 KiB.
class ControllerMemory {
  public:
    static constexpr int kBanks = kBankCount;
    static constexpr int kBankBytes = kBankSize;

    ControllerMemory();
    // Stores data from bank:address on. Bytes past the end of the bank are
    // dropped, and a bank outside 0..7 stores nothing. Returns the bytes stored.
    int write(int bank, int address, const QByteArray& data);
    // Up to length bytes from bank:address, fewer at the end of the bank.
    QByteArray read(int bank, int address, int length) const;
    const QByteArray& bank(int index) const { return banks_.at(static_cast<size_t>(index)); }

  private:
    std::array<QByteArray, kBanks> banks_;
};

// Where a write block may land in a controller that checks it, by that
// controller's own memory map:
//   banks 0..6  a page slot: P bytes at 0x0500 + k x P, k < S
//   bank 7      the glyph table: 816 bytes at 0x0D04
//               the play table at A: 2 + 3n bytes, n its count, n <= capacity
//               never the scan work area (R bytes from 0x1034) nor the frame
//               area (B bytes after it)
//   bank 0      the parameter block or the setup image at 0x8000: 36 or
//               16388 bytes
// and never in a bank past 7 or across the end of a bank. Returns what is
// wrong with a block, empty when it lands well.
QString landingProblem(const MemoryMap& map, int bank, int address, const QByteArray& data);
