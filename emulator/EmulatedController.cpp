#include "emulator/EmulatedController.h"

#include "transfer/Frames.h"
#include "transfer/SetupImage.h"

#include <QTimeZone>

#include <algorithm>

namespace {

int byteAt(const QByteArray& bytes, int index) {
    return index < bytes.size() ? static_cast<uint8_t>(bytes[index]) : 0;
}

QString hexByte(int value) {
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

FrameResponse logOnly(QString log) {
    FrameResponse response;
    response.log = std::move(log);
    return response;
}

// Packed BCD as a number; -1 when a nibble is not a digit.
int fromBcd(uint8_t value) {
    const int high = value >> 4, low = value & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

uint8_t reversedBits(uint8_t byte) {
    uint8_t reversed = 0;
    for (int bit = 0; bit < 8; ++bit) {
        reversed |= ((byte >> bit) & 1) << (7 - bit);
    }
    return reversed;
}

}  // namespace

QString describeSign(const ControllerParameters& p) {
    return QStringLiteral("T%1 %2 x %3, scan %4, %5 bit/s, data com %6, 8 bit swap %7")
        .arg(p.type)
        .arg(p.width)
        .arg(p.height)
        .arg(p.scanMode)
        .arg(p.bps)
        .arg(p.dataCom ? "on" : "off")
        .arg(p.bitSwap8 ? "on" : "off");
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

EmulatedController::EmulatedController(const ControllerSetup& setup, qint64 nowMs)
    : setup_(setup), parameters_(setup.parameters), clockSetAtMs_(nowMs) {
    clockSetTo_.time = QDateTime(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc());
}

QByteArray EmulatedController::parameterBlock() const {
    QByteArray block = encodeParameterBlock(parameters_);
    if (setup_.reportDefaults) {
        block[0] = '\xFF';
    }
    return block;
}

MemoryMap EmulatedController::memoryMap() const {
    return ::memoryMap(typeFamily(static_cast<int>(parameters_.type)),
                       static_cast<int>(parameters_.width), static_cast<int>(parameters_.height),
                       static_cast<int>(parameters_.scanMode));
}

ColourTest EmulatedController::colourTest() const {
    return {setup_.rgSwap, parameters_.dataCom != 0};
}

FrameResponse EmulatedController::handle(const ReceivedFrame& frame, qint64 nowMs) {
    const bool mine = frame.controller == parameters_.num || frame.controller == 0;
    if (!mine) {
        const bool block = frame.command == static_cast<uint8_t>(Command::WriteBlock);
        return logOnly(QStringLiteral("%1 for controller %2: not mine, %3")
                           .arg(block ? QStringLiteral("write block")
                                      : QStringLiteral("command %1").arg(hexByte(frame.command)))
                           .arg(frame.controller)
                           .arg(block ? QStringLiteral("ignored") : QStringLiteral("no reply")));
    }
    QString lost;
    if (setup_.forgetAfter && !forgotten_ && transfersEnded_ >= *setup_.forgetAfter) {
        // The power went while the line was quiet: what the sign showed is gone.
        const QByteArray setupArea = memory_.read(kSetupBank, kSetupAddress, kSetupImageBytes + 4);
        memory_ = ControllerMemory();
        memory_.write(kSetupBank, kSetupAddress, setupArea);
        forgotten_ = true;
        lost = QStringLiteral(
                   "memory lost after %1 transfers (as after a power cut without "
                   "backup); ")
                   .arg(transfersEnded_);
    }
    FrameResponse response = handleMine(frame, nowMs);
    if (frame.command == static_cast<uint8_t>(Command::EndOfData)) {
        ++transfersEnded_;
    }
    response.log.prepend(lost);
    return response;
}

FrameResponse EmulatedController::handleMine(const ReceivedFrame& frame, qint64 nowMs) {
    using Form = FrameResponse::Form;
    switch (static_cast<Command>(frame.command)) {
        case Command::WriteBlock:
            return writeBlock(frame);
        case Command::EndOfData: {
            const std::optional<int> pages = pageCount();
            const QString what =
                !pages ? QStringLiteral("no page layout for type T%1 at %2 x %3")
                             .arg(parameters_.type)
                             .arg(parameters_.width)
                             .arg(parameters_.height)
                       : QStringLiteral("%1 page%2").arg(*pages).arg(*pages == 1 ? "" : "s");
            FrameResponse response = closing(Form::StatusByte, Command::EndOfData,
                                             QStringLiteral("end of data: %1").arg(what));
            response.endOfData = true;
            return response;
        }
        case Command::SetClock: {
            setClock(frame, nowMs);
            const auto bcd = [&](int i) {
                return QStringLiteral("%1").arg(frame.clock[static_cast<size_t>(i)], 2, 16,
                                                QLatin1Char('0'));
            };
            QString line = QStringLiteral("set clock: %1-%2-%3 %4:%5:%6 weekday %7")
                               .arg(bcd(0), bcd(2), bcd(3), bcd(4), bcd(5), bcd(6))
                               .arg(frame.clock[1]);
            if (!clockSetTo_.time.isValid()) {
                line += QStringLiteral(" (not a date: the clock stands)");
            }
            FrameResponse response = closing(Form::StatusByte, Command::SetClock, line);
            response.clockSet = true;
            return response;
        }
        case Command::ReadParameters: {
            FrameResponse response =
                closing(Form::Framed, Command::ReadParameters, QStringLiteral("read parameters"));
            response.data = parameterBlock();
            return response;
        }
        case Command::SaveParameters: {
            const QByteArray stored =
                memory_.read(kSetupBank, kSetupAddress, kParameterBlockBytes + 4);
            if (!stored.endsWith(kParameterTag)) {
                brokenBlocks_ = 0;
                return logOnly(
                    QStringLiteral("save parameters: no parameter block at 0x8000, no reply"));
            }
            const ControllerParameters p = decodeParameterBlock(stored.left(kParameterBlockBytes));
            FrameResponse response = closing(
                Form::Framed, Command::SaveParameters,
                QStringLiteral("save parameters: num %1, %2").arg(p.num).arg(describeSign(p)));
            if (response.form != Form::None) {
                parameters_ = p;
                setup_.reportDefaults = false;
                response.parametersSaved = true;
            }
            return response;
        }
        case Command::SetupDownload: {
            const QByteArray stored = memory_.read(kSetupBank, kSetupAddress, kSetupImageBytes + 4);
            const QByteArray imageAndTag = stored.left(kSetupImageBytes + 3);
            if (stored.mid(kSetupImageBytes, 3) != kDownloadTag ||
                byteAt(stored, kSetupImageBytes + 3) != setupCheckByte(imageAndTag)) {
                brokenBlocks_ = 0;
                return logOnly(
                    QStringLiteral("setup download: no valid image at 0x8000, no reply"));
            }
            FrameResponse response = closing(
                Form::Framed, Command::SetupDownload,
                QStringLiteral("setup download: %1 bytes, check byte good").arg(kSetupImageBytes));
            if (response.form != Form::None) {
                setupImage_ = stored.left(kSetupImageBytes);
            }
            return response;
        }
    }
    return logOnly(QStringLiteral("command %1 for controller %2: not handled, no reply")
                       .arg(hexByte(frame.command))
                       .arg(frame.controller));
}

FrameResponse EmulatedController::writeBlock(const ReceivedFrame& frame) {
    QString line = QStringLiteral("write block: bank %1, address 0x%2, %3 bytes")
                       .arg(frame.bank)
                       .arg(frame.address, 4, 16, QLatin1Char('0'))
                       .arg(frame.data.size());
    const QString problem = landingProblem(memoryMap(), frame.bank, frame.address, frame.data);
    if (!problem.isEmpty()) {
        ++brokenBlocks_;
        line += QStringLiteral(": off the memory map, ") + problem;
        if (setup_.strict) {
            return logOnly(line + QStringLiteral("; not stored"));
        }
    }
    const int stored = memory_.write(frame.bank, frame.address, frame.data);
    if (stored < frame.data.size()) {
        line += QStringLiteral("; %1 bytes not stored").arg(frame.data.size() - stored);
    }
    return logOnly(line);
}

FrameResponse EmulatedController::closing(FrameResponse::Form form, Command code,
                                          const QString& log) {
    FrameResponse response;
    response.log = log + QStringLiteral(", ");
    const int broken = std::exchange(brokenBlocks_, 0);
    if (broken > 0) {
        response.log += QStringLiteral("%1 write block%2 off the memory map, ")
                            .arg(broken)
                            .arg(broken == 1 ? "" : "s");
        if (setup_.strict) {
            response.log += QStringLiteral("not acknowledged (strict)");
            return response;
        }
    }
    response.form = form;
    response.code = static_cast<uint8_t>(code);
    return response;
}

void EmulatedController::setClock(const ReceivedFrame& frame, qint64 nowMs) {
    int fields[7];
    for (size_t i = 0; i < 7; ++i) {
        fields[i] = i == 1 ? frame.clock[i] : fromBcd(frame.clock[i]);
    }
    const QDate date(2000 + fields[0], fields[2], fields[3]);
    const QTime time(fields[4], fields[5], fields[6]);
    clockSetTo_.time = QDateTime(date, time, QTimeZone::utc());
    clockSetTo_.weekday = fields[1];
    clockSetAtMs_ = nowMs;
}

ControllerClock EmulatedController::clockAt(qint64 nowMs) const {
    if (!clockSetTo_.time.isValid()) {
        return clockSetTo_;
    }
    ControllerClock clock;
    clock.time = clockSetTo_.time.addMSecs(nowMs - clockSetAtMs_);
    const qint64 days = clockSetTo_.time.date().daysTo(clock.time.date());
    clock.weekday = static_cast<int>(((clockSetTo_.weekday - 1 + days) % 7 + 7) % 7) + 1;
    return clock;
}

QByteArray EmulatedController::glyphTable() const {
    return memory_.read(kTableBank, kGlyphAddress, kGlyphBytes);
}

std::optional<int> EmulatedController::pageCount() const {
    const MemoryMap map = memoryMap();
    if (!map.fits()) {
        return std::nullopt;
    }
    const QByteArray head = memory_.read(kTableBank, map.A, 2);
    return std::min(byteAt(head, 0) | (byteAt(head, 1) << 8), map.capacity());
}

std::vector<ShownPage> EmulatedController::shownPages() const {
    const MemoryMap map = memoryMap();
    // Pages past the memory's capacity for this screen are nowhere in it,
    // whatever number the play table claims.
    const int count = std::clamp(pageCount().value_or(0), 0, std::max(0, map.capacity()));
    std::vector<ShownPage> pages;
    pages.reserve(static_cast<size_t>(count));
    for (int page = 1; page <= count; ++page) {
        QByteArray bytes = memory_.read(map.pageBank(page), map.pageAddress(page), map.P);
        if (parameters_.bitSwap8) {
            for (char& byte : bytes) {
                byte = static_cast<char>(reversedBits(static_cast<uint8_t>(byte)));
            }
        }
        ShownPage shown;
        shown.image = unpackPage(bytes, depth(), static_cast<int>(parameters_.width),
                                 static_cast<int>(parameters_.height), colourTest());
        const QByteArray entry = memory_.read(kTableBank, map.A + 2 + 3 * (page - 1), 3);
        shown.effect = byteAt(entry, 0);
        shown.speed = byteAt(entry, 1);
        shown.time = byteAt(entry, 2);
        pages.push_back(std::move(shown));
    }
    return pages;
}
