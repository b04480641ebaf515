#pragma once

#include "transfer/ModuleType.h"

#include <cstdint>

// The controller's memory as a picture transfer addresses it: eight banks of
// 64 KiB. Banks 0..6 hold page images from 0x0500 on; bank 7 holds the glyph
// table at 0x0D04, then the scan work area (R bytes) and the frame area
// (B bytes), neither written by the transfer, then the play table at A.
constexpr int kBankCount = 8;
constexpr int kBankSize = 0x10000;
constexpr int kPageBase = 0x0500;
constexpr int kPageBankBytes = 0xFB00;  // room for page images in one bank
constexpr int kPageBanks = 7;
constexpr int kTableBank = 7;
constexpr int kGlyphAddress = 0x0D04;
constexpr int kGlyphBytes = 816;
constexpr int kScanAreaBase = 0x1034;
// The parameter block and the setup image go to bank 0 at 0x8000.
constexpr int kSetupBank = 0;
constexpr int kSetupAddress = 0x8000;

struct MemoryMap {
    int P = 0;   // bytes per page image
    int S = 0;   // pages per bank
    int D = 0;   // row divisor: 4 dual-colour, 8 monochrome
    int R = 0;   // scan work area size
    int B = 0;   // frame area size
    int A = 0;   // play table address in bank 7
    int M1 = 0;  // capacity by page memory
    int M2 = 0;  // capacity by play table

    // The lesser of M1 and M2: what "MAX n PAGES" shows.
    int capacity() const { return M1 < M2 ? M1 : M2; }
    // Whether any page fits at all (a screen too large leaves none).
    bool fits() const { return P > 0 && M1 > 0 && M2 > 0; }
    // N: the pages of a list of pageCount pages that are sent.
    int pagesSent(int pageCount) const;
    // Where page i (1-based) goes.
    int pageBank(int page) const { return (page - 1) / S; }
    int pageAddress(int page) const { return kPageBase + ((page - 1) % S) * P; }
};

// Sizes and addresses for a screen of width x height, with the scan setting
// and the module type's family. A dual-colour row is 2 x (width div 8) bytes.
MemoryMap memoryMap(TypeFamily family, int width, int height, int scan);

// The bytes of one packed row.
int rowBytes(Depth depth, int width);
