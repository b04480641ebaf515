#include "controller/ControllerCommands.h"

#include "controller/SendDriver.h"
#include "transfer/Frames.h"
#include "transfer/MemoryMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString kCommErrorTime = QStringLiteral("comm error!");
const QString kCommErrorDialog = QStringLiteral("comm error");

ExchangeSteps stepsFor(ControllerCommand command, const QString& commError, QByteArray frame) {
    ExchangeSteps steps;
    steps.command = command;
    steps.commError = commError;
    steps.build = [frame = std::move(frame)](QByteArray& tx, QString*) {
        tx = frame;
        return true;
    };
    return steps;
}

}  // namespace

// ---- TIME ------------------------------------------------------------------

QByteArray clockFrame(int num, const QDateTime& now) {
    const QDate date = now.date();
    const QTime time = now.time();
    QByteArray frame;
    appendFrameHeader(frame, static_cast<uint8_t>(num), Command::SetClock);
    frame += static_cast<char>(ToBcd(date.year() % 100));
    frame += static_cast<char>(date.dayOfWeek());  // Monday 1 .. Sunday 7
    for (int value : {date.month(), date.day(), time.hour(), time.minute(), time.second()}) {
        frame += static_cast<char>(ToBcd(value));
    }
    return frame;
}

ExchangeResult setClock(Link& link, OperatorSurface& surface, const Settings& settings,
                        const QDateTime& now) {
    ExchangeSteps steps = stepsFor(ControllerCommand::Time, kCommErrorTime, {});
    // The clock is read once, when the frame is built, after the port is set up.
    steps.build = [&](QByteArray& tx, QString*) {
        tx = clockFrame(settings.NUM, now.isValid() ? now : QDateTime::currentDateTime());
        return true;
    };
    return exchange(link, surface, settings, steps);
}

// ---- MODE ------------------------------------------------------------------

QByteArray modeFrames(const Settings& settings, const PageList& pages, QString* refusal) {
    QByteArray tx;
    const auto num = static_cast<uint8_t>(settings.NUM);
    const TypeFamily family = typeFamily(settings.TYPE);
    if (family.depth != Depth::NotSent) {
        const MemoryMap map = memoryMap(family, settings.WIDTH, settings.HEIGHT, settings.SCAN);
        if (!map.fits()) {
            *refusal = checkSendable(settings, map);
            return {};
        }
        appendPlayTableFrame(tx, num, map, pages, map.pagesSent(pages.PageCount()));
    }
    appendEndFrame(tx, num);
    return tx;
}

ExchangeResult sendPlayModes(Link& link, OperatorSurface& surface, const Settings& settings,
                             const PageList& pages) {
    ExchangeSteps steps = stepsFor(ControllerCommand::Mode, kCommErrorDialog, {});
    steps.build = [&](QByteArray& tx, QString* reason) {
        const TypeFamily family = typeFamily(settings.TYPE);
        if (family.depth != Depth::NotSent) {
            const MemoryMap map = memoryMap(family, settings.WIDTH, settings.HEIGHT, settings.SCAN);
            if (map.fits()) {
                surface.setStatus(0, capacityText(map));
                surface.repaintNow();
            }
        }
        tx = modeFrames(settings, pages, reason);
        return reason->isEmpty();
    };
    return exchange(link, surface, settings, steps);
}

// ---- READ PARA -------------------------------------------------------------

QByteArray readRequest() {
    QByteArray frame;
    appendFrameHeader(frame, 0x00, Command::ReadParameters);
    return frame;
}

ReadParaResult interpretParameterReply(const QByteArray& reply, const Settings& current) {
    ReadParaResult result;
    result.received = true;
    result.settings = current;
    const QByteArray block = reply.mid(4, kParameterBlockBytes);
    if (block.size() < kParameterBlockBytes) {
        return result;
    }
    Settings& s = result.settings;
    if (static_cast<uint8_t>(block[0]) == 0xFF) {
        result.defaultsReply = true;
        const int type = static_cast<uint8_t>(block[1]) | static_cast<uint8_t>(block[2]) << 8;
        if (type > 26) {
            return result;
        }
        result.apply = true;
        result.parameters = defaultParameters(type);
        s.NUM = 1;
        s.TYPE = type;
        s.WIDTH = 64;
        s.HEIGHT = 16;
        s.BPS = 0;  // 9600, as the dialog's defaults
        s.SCAN = result.parameters.scanMode;
        return result;
    }
    result.apply = true;
    result.parameters = decodeParameterBlock(block);
    const ControllerParameters& p = result.parameters;
    // Values a setting cannot show are brought into its range; a type or a
    // rate that is not in the lists keeps the old choice.
    s.NUM = p.num;
    if (p.type >= 0 && p.type < kTypeCount) {
        s.TYPE = p.type;
    }
    s.WIDTH = std::clamp(p.width, 8, 2048);
    s.HEIGHT = std::clamp(p.height, 8, 1600);
    const int bps = bpsTexts().indexOf(QString::number(p.bps));
    if (bps >= 0) {
        s.BPS = bps;
    }
    s.SCAN = std::clamp(p.scanMode, 1, 16);
    return result;
}

ReadParaResult readParameters(Link& link, OperatorSurface& surface, const Settings& settings) {
    ReadParaResult result;
    result.settings = settings;
    ExchangeSteps steps = stepsFor(ControllerCommand::ReadPara, kCommErrorTime, readRequest());
    result.exchange = exchange(link, surface, settings, steps);
    if (result.exchange.stage == ExchangeResult::Stage::Done &&
        result.exchange.reply == ReplyOutcome::Matches) {
        const ExchangeResult exchanged = result.exchange;
        result = interpretParameterReply(link.RxBuffer, settings);
        result.exchange = exchanged;
    }
    return result;
}

// ---- save parameter --------------------------------------------------------

ExchangeResult saveParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerParameters& parameters) {
    return exchange(
        link, surface, settings,
        stepsFor(ControllerCommand::SavePara, kCommErrorDialog, parameterFrame(parameters)));
}

Settings settingsAfterSave(const Settings& current, const ControllerParameters& p) {
    Settings s = current;
    s.NUM = std::clamp(p.num, 0, 255);
    s.WIDTH = std::clamp(p.width, 8, 2048);
    s.HEIGHT = std::clamp(p.height, 8, 1600);
    s.SCAN = std::clamp(p.scanMode, 1, 16);
    s.COLOR_SWAP = p.dataCom;
    const int bps = parameterBpsTexts().indexOf(QString::number(p.bps));
    if (bps >= 0) {
        s.BPS = bps;
    }
    return s;
}

// ---- Download --------------------------------------------------------------

SetupImage loadSetupImage(const QString& folder, int type) {
    SetupImage setup;
    const QString path = QDir(folder).filePath(QStringLiteral("setup%1").arg(type));
    const QFileInfo info(path);
    if (!info.isFile()) {
        setup.error = QStringLiteral("can not find this type!");
        return setup;
    }
    // Two file bytes make one image byte; a file that would overfill the
    // image, or ends in half a pair, is refused before anything is sent.
    if (info.size() > 2 * kSetupImageBytes) {
        setup.error = QStringLiteral("%1 is %2 bytes: a setup file holds at most %3.")
                          .arg(info.fileName())
                          .arg(info.size())
                          .arg(2 * kSetupImageBytes);
        return setup;
    }
    if (info.size() % 2 != 0) {
        setup.error = QStringLiteral("%1 ends in half a byte pair (%2 bytes): it cannot be read.")
                          .arg(info.fileName())
                          .arg(info.size());
        return setup;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setup.error = QStringLiteral("%1: %2").arg(info.fileName(), file.errorString());
        return setup;
    }
    const QByteArray pairs = file.read(2 * kSetupImageBytes);
    if (pairs.size() != info.size()) {
        setup.error = QStringLiteral("%1: %2").arg(info.fileName(), file.errorString());
        return setup;
    }
    setup.image = setupImageFromPairs(pairs);
    return setup;
}

QByteArray setupImageFromPairs(const QByteArray& pairs) {
    QByteArray image(kSetupImageBytes, '\xFF');
    for (qsizetype i = 0; i < kSetupImageBytes && 2 * i + 1 < pairs.size(); ++i) {
        image[i] = pairs[2 * i + 1];
    }
    return image;
}

QByteArray downloadFrame(const QByteArray& image) {
    QByteArray frame;
    appendWriteBlockHeader(frame, 0x00, 0, 0x8000, kSetupImageBytes + 4);
    frame += image.left(kSetupImageBytes);
    frame += "dow";
    unsigned sum = 0;
    for (qsizetype i = kWriteBlockHeaderBytes; i < frame.size(); ++i) {
        sum += static_cast<uint8_t>(frame[i]);
    }
    frame += static_cast<char>(0xFF - (sum & 0xFF));
    appendFrameHeader(frame, 0x00, Command::SetupDownload);
    return frame;
}

ExchangeResult downloadSetup(Link& link, OperatorSurface& surface, const Settings& settings,
                             const QByteArray& image) {
    ExchangeSteps steps = stepsFor(ControllerCommand::Download, QStringLiteral("串行口设置失败!"),
                                   downloadFrame(image));
    steps.commCaption = QStringLiteral("错误信息");
    steps.afterSend = [&surface] {
        surface.setStatus(2, QStringLiteral("download......"));
        surface.repaintNow();
    };
    return exchange(link, surface, settings, steps);
}
