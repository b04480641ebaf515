#include "emulator/EmulatedController.h"

#include "transfer/Frames.h"
#include "transfer/MemoryMap.h"
#include "transfer/Packing.h"
#include "transfer/ParameterBlock.h"
#include "transfer/SetupImage.h"

#include <algorithm>
#include <cstring>

namespace {

int byteAt(const QByteArray& bytes, int index) {
    return index < bytes.size() ? static_cast<uint8_t>(bytes[index]) : 0;
}

QString hexByte(int value) {
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

FrameResponse replyWith(FrameResponse::Form form, Command code, QString log, QByteArray data = {}) {
    FrameResponse response;
    response.form = form;
    response.code = static_cast<uint8_t>(code);
    response.log = std::move(log);
    response.data = std::move(data);
    return response;
}

FrameResponse logOnly(QString log) {
    FrameResponse response;
    response.log = std::move(log);
    return response;
}

}  // namespace

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

QByteArray replyBytes(const FrameResponse& response) {
    switch (response.form) {
        case FrameResponse::Form::None:
            break;
        case FrameResponse::Form::StatusByte:
            return QByteArray(1, static_cast<char>(response.code));
        case FrameResponse::Form::Framed:
            return QByteArray("\xAA\x55\x00", 3) + static_cast<char>(response.code) + response.data;
    }
    return {};
}

EmulatedController::EmulatedController(const ControllerSetup& setup) : setup_(setup) {
    // The controller's own parameters: its number and screen, the rest at
    // their defaults.
    ControllerParameters parameters = defaultParameters(setup_.type);
    parameters.num = setup_.number;
    parameters.width = setup_.width;
    parameters.height = setup_.height;
    parameters.scanMode = setup_.scan;
    parameters.light =
        lightMaximum(parameters.clock, parameters.scanMode, parameters.scanFrequency);
    parameters_ = encodeParameterBlock(parameters);
    if (setup_.reportDefaults) {
        parameters_[0] = '\xFF';
    }
}

FrameResponse EmulatedController::handle(const ReceivedFrame& frame) {
    using Form = FrameResponse::Form;
    const bool mine = frame.controller == setup_.number || frame.controller == 0;
    const QString notMine =
        QStringLiteral(" for controller %1: not mine, no reply").arg(frame.controller);
    switch (static_cast<Command>(frame.command)) {
        case Command::WriteBlock: {
            if (!mine) {
                return logOnly(QStringLiteral("write block for controller %1: not mine, ignored")
                                   .arg(frame.controller));
            }
            const int stored = memory_.write(frame.bank, frame.address, frame.data);
            QString line = QStringLiteral("write block: bank %1, address 0x%2, %3 bytes")
                               .arg(frame.bank)
                               .arg(frame.address, 4, 16, QLatin1Char('0'))
                               .arg(frame.data.size());
            if (frame.bank >= ControllerMemory::kBanks) {
                line += QStringLiteral(", no such bank: not stored");
            } else if (stored < frame.data.size()) {
                line += QStringLiteral(", %1 past the end of the bank dropped")
                            .arg(frame.data.size() - stored);
            }
            return logOnly(line);
        }
        case Command::EndOfData: {
            if (!mine) {
                return logOnly(QStringLiteral("end of data") + notMine);
            }
            const std::optional<int> pages = pageCount();
            const QString what =
                !pages ? QStringLiteral("no page layout for type T%1 at %2 x %3")
                             .arg(setup_.type)
                             .arg(setup_.width)
                             .arg(setup_.height)
                       : QStringLiteral("%1 page%2").arg(*pages).arg(*pages == 1 ? "" : "s");
            FrameResponse response = replyWith(Form::StatusByte, Command::EndOfData,
                                               QStringLiteral("end of data: %1, ").arg(what));
            response.endOfData = true;
            return response;
        }
        case Command::SetClock: {
            if (!mine) {
                return logOnly(QStringLiteral("set clock") + notMine);
            }
            clock_ = frame.clock;
            const auto bcd = [&](int i) {
                return QStringLiteral("%1").arg(frame.clock[static_cast<size_t>(i)], 2, 16,
                                                QLatin1Char('0'));
            };
            return replyWith(Form::StatusByte, Command::SetClock,
                             QStringLiteral("set clock: %1-%2-%3 %4:%5:%6 weekday %7, ")
                                 .arg(bcd(0), bcd(2), bcd(3), bcd(4), bcd(5), bcd(6))
                                 .arg(frame.clock[1]));
        }
        case Command::ReadParameters:
            return replyWith(Form::Framed, Command::ReadParameters,
                             QStringLiteral("read parameters: "), parameters_);
        case Command::SaveParameters: {
            const QByteArray stored =
                memory_.read(kSetupBank, kSetupAddress, kParameterBlockBytes + 4);
            if (!stored.endsWith(kParameterTag)) {
                return logOnly(
                    QStringLiteral("save parameters: no parameter block at 0x8000, no reply"));
            }
            parameters_ = stored.left(kParameterBlockBytes);
            const ControllerParameters p = decodeParameterBlock(parameters_);
            return replyWith(
                Form::Framed, Command::SaveParameters,
                QStringLiteral("save parameters: num %1, type T%2, %3 x %4, scan %5, %6 bit/s; ")
                    .arg(p.num)
                    .arg(p.type)
                    .arg(p.width)
                    .arg(p.height)
                    .arg(p.scanMode)
                    .arg(p.bps));
        }
        case Command::SetupDownload: {
            const QByteArray stored = memory_.read(kSetupBank, kSetupAddress, kSetupImageBytes + 4);
            const QByteArray imageAndTag = stored.left(kSetupImageBytes + 3);
            if (stored.mid(kSetupImageBytes, 3) != kDownloadTag ||
                byteAt(stored, kSetupImageBytes + 3) != setupCheckByte(imageAndTag)) {
                return logOnly(
                    QStringLiteral("setup download: no valid image at 0x8000, no reply"));
            }
            setupImage_ = stored.left(kSetupImageBytes);
            return replyWith(Form::Framed, Command::SetupDownload,
                             QStringLiteral("setup download: %1 bytes, check byte good; ")
                                 .arg(kSetupImageBytes));
        }
    }
    return logOnly(QStringLiteral("command %1 for controller %2: not handled, no reply")
                       .arg(hexByte(frame.command))
                       .arg(frame.controller));
}

std::optional<int> EmulatedController::pageCount() const {
    const MemoryMap map =
        memoryMap(typeFamily(setup_.type), setup_.width, setup_.height, setup_.scan);
    if (!map.fits()) {
        return std::nullopt;
    }
    const QByteArray head = memory_.read(kTableBank, map.A, 2);
    return std::min(byteAt(head, 0) | (byteAt(head, 1) << 8), map.capacity());
}

std::vector<ShownPage> EmulatedController::shownPages() const {
    const TypeFamily family = typeFamily(setup_.type);
    const MemoryMap map = memoryMap(family, setup_.width, setup_.height, setup_.scan);
    const int count = pageCount().value_or(0);
    std::vector<ShownPage> pages;
    pages.reserve(static_cast<size_t>(count));
    const ColourTest test{setup_.rgSwap, setup_.colorSwap};
    for (int page = 1; page <= count; ++page) {
        ShownPage shown;
        shown.image = unpackPage(memory_.read(map.pageBank(page), map.pageAddress(page), map.P),
                                 family.depth, setup_.width, setup_.height, test);
        const QByteArray entry = memory_.read(kTableBank, map.A + 2 + 3 * (page - 1), 3);
        shown.effect = byteAt(entry, 0);
        shown.speed = byteAt(entry, 1);
        shown.time = byteAt(entry, 2);
        pages.push_back(std::move(shown));
    }
    return pages;
}
