#include "emulator/ControllerMemory.h"

#include "transfer/ParameterBlock.h"
#include "transfer/SetupImage.h"

#include <algorithm>
#include <cstring>

ControllerMemory::ControllerMemory() {
    for (QByteArray& bank : banks_) {
        bank = QByteArray(kBankBytes, '\0');
    }
}

int ControllerMemory::write(int bank, int address, const QByteArray& data) {
    if (bank < 0 || bank >= kBanks || address < 0 || address >= kBankBytes) {
        return 0;
    }
    const int count = std::min<int>(static_cast<int>(data.size()), kBankBytes - address);
    std::memcpy(banks_[static_cast<size_t>(bank)].data() + address, data.constData(),
                static_cast<size_t>(count));
    return count;
}

QByteArray ControllerMemory::read(int bank, int address, int length) const {
    if (bank < 0 || bank >= kBanks || address < 0 || address >= kBankBytes || length <= 0) {
        return {};
    }
    return banks_[static_cast<size_t>(bank)].mid(address, std::min(length, kBankBytes - address));
}

namespace {

QString hex4(int value) {
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}

bool overlaps(int start, int end, int areaStart, int areaEnd) {
    return start < areaEnd && areaStart < end;
}

}  // namespace

QString landingProblem(const MemoryMap& map, int bank, int address, const QByteArray& data) {
    const int length = static_cast<int>(data.size());
    const int end = address + length;
    if (bank >= kBankCount) {
        return QStringLiteral("there is no bank %1").arg(bank);
    }
    if (end > kBankSize) {
        return QStringLiteral("runs %1 bytes past the end of the bank").arg(end - kBankSize);
    }
    if (bank == kSetupBank && address == kSetupAddress &&
        (length == kParameterBlockBytes + 4 || length == kSetupImageBytes + 4)) {
        return {};
    }
    if (bank == kTableBank && address == kGlyphAddress && length == kGlyphBytes) {
        return {};
    }
    if (!map.fits()) {
        return QStringLiteral("this screen has no page layout");
    }
    if (bank != kTableBank) {
        const int offset = address - kPageBase;
        if (offset < 0 || offset % map.P != 0 || offset / map.P >= map.S || length != map.P) {
            return QStringLiteral("not a page slot of this screen (%1 bytes at 0x0500 + k x %1)")
                .arg(map.P);
        }
        return {};
    }
    const int frameArea = kScanAreaBase + map.R;
    if (overlaps(address, end, kScanAreaBase, frameArea)) {
        return QStringLiteral("in the scan work area (%1..%2)")
            .arg(hex4(kScanAreaBase), hex4(frameArea - 1));
    }
    if (overlaps(address, end, frameArea, map.A)) {
        return QStringLiteral("in the frame area (%1..%2)").arg(hex4(frameArea), hex4(map.A - 1));
    }
    if (address != map.A) {
        return QStringLiteral("neither the glyph table (0x0d04) nor the play table (%1)")
            .arg(hex4(map.A));
    }
    const int count =
        length >= 2 ? static_cast<uint8_t>(data[0]) | static_cast<uint8_t>(data[1]) << 8 : -1;
    if (length != 2 + 3 * count) {
        return QStringLiteral("a play table whose count does not match its %1 bytes").arg(length);
    }
    if (count > map.capacity()) {
        return QStringLiteral("a play table of %1 pages, more than the %2 this screen holds")
            .arg(count)
            .arg(map.capacity());
    }
    return {};
}
