#include "transfer/MemoryMap.h"

#include <algorithm>

int rowBytes(Depth depth, int width) {
    switch (depth) {
        case Depth::DualColour:
            return 2 * (width / 8);
        case Depth::Monochrome:
            return width / 8;
        case Depth::NotSent:
            break;
    }
    return 0;
}

MemoryMap memoryMap(TypeFamily family, int width, int height, int scan) {
    MemoryMap map;
    if (family.depth == Depth::NotSent || width <= 0 || height <= 0 || scan <= 0) {
        return map;
    }
    const bool dual = family.depth == Depth::DualColour;
    const int F = family.fold;
    // 64-bit: a 2048 x 1600 screen overflows nothing here, but keep it plain.
    const long long W = width, H = height;
    map.P = static_cast<int>(rowBytes(family.depth, width) * H);
    map.S = map.P > 0 ? kPageBankBytes / map.P : 0;
    map.D = dual ? 4 : 8;
    map.R = static_cast<int>(((H - 1) / (map.D * scan * F) + 1) * (W * F) * scan * 2);
    map.B = static_cast<int>(dual ? (W / 4) * H : (W / 8) * H);
    map.A = kScanAreaBase + map.R + map.B;
    map.M1 = kPageBanks * map.S;
    map.M2 = (65533 - map.A) / 3;
    return map;
}

int MemoryMap::pagesSent(int pageCount) const {
    if (!fits()) {
        return 0;
    }
    return std::max(0, std::min({pageCount, M1, M2}));
}
