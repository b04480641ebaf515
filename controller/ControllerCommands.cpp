#include "controller/ControllerCommands.h"

#include "controller/SignRun.h"

#include "transfer/PageCheck.h"
#include "transfer/SetupImage.h"
#include "transfer/Transmission.h"

namespace {

const QString kCommErrorSend = QStringLiteral("comm error ");
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

// Every picture is checked before the port is opened, so that a page that
// cannot be sent (a FIFO, a device, a picture too large) keeps the port
// untouched. The refusal, or empty.
QString refusePages(const Settings& settings, const PageList& pages, const QString& folder) {
    const QStringList findings = checkPages(settings, pages, folder);
    return findings.isEmpty() ? QString() : unusablePagesMessage(findings);
}

// Status panel 0 shows how many pages the controller holds for this screen.
void showCapacity(OperatorSurface& surface, const MemoryMap& map) {
    surface.setStatus(0, capacityText(map));
    surface.repaintNow();
}

bool acknowledged(const ExchangeResult& result) {
    return result.stage == ExchangeResult::Stage::Done && result.reply == ReplyOutcome::Matches;
}

// Keeps the record true after a command: content is what the controller
// holds once it acknowledged, none when that is unknown (the record goes).
// A command that wrote nothing leaves the record as it was.
void keepRecord(const ControllerRecords* records, const ControllerKey& key,
                const ExchangeResult& result, const std::optional<ControllerContent>& content,
                OperatorSurface& surface) {
    if (!records || result.bytes == 0) {
        return;
    }
    QString reason;
    if (!acknowledged(result) || !content) {
        records->drop(key.port, key.NUM);
    } else if (!records->store({key, QDateTime::currentDateTime(), *content}, &reason)) {
        surface.note(QStringLiteral("The record of what the controller holds was not kept: "
                                    "%1. The next transfer sends every page.")
                         .arg(reason));
        records->drop(key.port, key.NUM);
    }
}

// After a command that rewrites the controller's setup, what it shows is
// unknown.
void dropRecord(const ControllerRecords* records, const Settings& settings, const Link& link,
                const ExchangeResult& result, OperatorSurface& surface) {
    if (records) {
        keepRecord(records, controllerKey(settings, link.folder()), result, std::nullopt, surface);
    }
}

// A stream owned here, lent to the exchange, so that what it wrote can be
// read once the exchange is over.
class LentSource : public FrameSource {
  public:
    explicit LentSource(FrameSource& source) : m_source(source) {}
    qint64 totalBytes() const override { return m_source.totalBytes(); }
    bool nextFrame(QByteArray* frame, QString* error) override {
        return m_source.nextFrame(frame, error);
    }

  private:
    FrameSource& m_source;
};

}  // namespace

ExchangeResult sendPages(Link& link, OperatorSurface& surface, const Settings& settings,
                         const PageList& pages, const QString& folder, const SendOptions& options) {
    ExchangeResult result;
    result.stage = ExchangeResult::Stage::Refused;
    if (typeFamily(settings.TYPE).depth == Depth::NotSent) {
        return result;  // this module type is not sent: nothing happens
    }
    const MemoryMap map = memoryMapFor(settings);
    result.reason = checkSendable(settings, map);
    if (result.reason.isEmpty()) {
        result.reason = refusePages(settings, pages, folder);
    }
    if (!result.reason.isEmpty()) {
        surface.message(result.reason);
        result.outcome =
            QStringLiteral("refused: %1").arg(result.reason.section(QLatin1Char('\n'), 0, 0));
        return result;
    }
    const ControllerKey key = controllerKey(settings, folder);
    std::optional<ControllerRecord> record;
    if (options.changedOnly && options.records) {
        record = options.records->find(key);
        if (!record) {
            surface.note(QStringLiteral("no record of what controller %1 on %2 holds: sending all "
                                        "%3 pages")
                             .arg(settings.NUM)
                             .arg(signPortPath(settings, folder))
                             .arg(map.pagesSent(pages.PageCount())));
        }
    }
    std::unique_ptr<TransferStream> full;
    std::unique_ptr<ChangedPagesStream> changed;
    QString scope;
    if (record) {
        ChangePlan plan =
            planChanges(settings, pages, folder, record->content, options.cache, &surface);
        if (!plan.error.isEmpty()) {
            result.reason = plan.error;
            surface.message(result.reason);
            result.outcome =
                QStringLiteral("refused: %1").arg(result.reason.section(QLatin1Char('\n'), 0, 0));
            return result;
        }
        surface.note(changedEstimateText(plan, settings.baudRate()));
        scope =
            QStringLiteral("changed pages: %1 of %2").arg(plan.changed.size()).arg(plan.pagesSent);
        changed = std::make_unique<ChangedPagesStream>(settings, pages, std::move(plan), &surface);
    } else {
        // Decoding starts now, while the port opens.
        full = std::make_unique<TransferStream>(settings, pages, folder, &surface, options.cache);
        if (options.changedOnly) {
            scope = QStringLiteral("all %1 pages").arg(full->pagesSent());
        }
    }
    FrameSource& source = changed ? static_cast<FrameSource&>(*changed) : *full;
    ExchangeSteps steps = stepsFor(ControllerCommand::Send, kCommErrorSend, {});
    steps.stream = [&](QString*) -> std::unique_ptr<FrameSource> {
        showCapacity(surface, map);
        return std::make_unique<LentSource>(source);
    };
    result = exchange(link, surface, settings, steps);
    keepRecord(options.records, key, result, changed ? changed->plan().after : full->content(),
               surface);
    if (!scope.isEmpty()) {
        result.outcome += QStringLiteral(" (%1)").arg(scope);
    }
    return result;
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

ExchangeResult sendPlayModes(Link& link, OperatorSurface& surface, const Settings& settings,
                             const PageList& pages, const ControllerRecords* records) {
    // The play table goes with the pictures already in the controller: no
    // picture is read, so a missing or broken one never stops it. Only a
    // screen too large for the memory map is refused, before the port opens.
    if (typeFamily(settings.TYPE).depth != Depth::NotSent) {
        ExchangeResult refused;
        refused.stage = ExchangeResult::Stage::Refused;
        refused.reason = checkSendable(settings, memoryMapFor(settings));
        if (!refused.reason.isEmpty()) {
            surface.message(refused.reason);
            refused.outcome =
                QStringLiteral("refused: %1").arg(refused.reason.section(QLatin1Char('\n'), 0, 0));
            return refused;
        }
    }
    ExchangeSteps steps = stepsFor(ControllerCommand::Mode, kCommErrorDialog, {});
    steps.build = [&](QByteArray& tx, QString* reason) {
        const MemoryMap map = memoryMapFor(settings);
        if (typeFamily(settings.TYPE).depth != Depth::NotSent && map.fits()) {
            showCapacity(surface, map);
        }
        tx = modeFrames(settings, pages, reason);
        return reason->isEmpty();
    };
    const ExchangeResult result = exchange(link, surface, settings, steps);
    if (records) {
        // The pictures stay; only the play table is new.
        const ControllerKey key = controllerKey(settings, link.folder());
        std::optional<ControllerContent> content;
        if (std::optional<ControllerRecord> record = records->find(key)) {
            const MemoryMap map = memoryMapFor(settings);
            const int count = map.fits() ? map.pagesSent(pages.PageCount()) : 0;
            content = record->content;
            content->playTable = contentDigest(playTableBytes(map, pages, count));
            while (content->pages.size() > count) {
                content->pages.removeLast();
            }
        }
        keepRecord(records, key, result, content, surface);
    }
    return result;
}

ReadParaResult readParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerRecords* records) {
    ReadParaResult result;
    result.settings = settings;
    result.exchange =
        exchange(link, surface, settings,
                 stepsFor(ControllerCommand::ReadPara, kCommErrorTime, readRequest()));
    if (result.exchange.stage == ExchangeResult::Stage::Done &&
        result.exchange.reply == ReplyOutcome::Matches) {
        static_cast<ParameterReply&>(result) = interpretParameterReply(link.RxBuffer, settings);
        result.received = true;
        const Settings& read = result.settings;
        if (records && (read.TYPE != settings.TYPE || read.WIDTH != settings.WIDTH ||
                        read.HEIGHT != settings.HEIGHT || read.SCAN != settings.SCAN)) {
            // The controller is not set up as its record says.
            const ControllerKey key = controllerKey(settings, link.folder());
            records->drop(key.port, key.NUM);
        }
    }
    return result;
}

ExchangeResult saveParameters(Link& link, OperatorSurface& surface, const Settings& settings,
                              const ControllerParameters& parameters,
                              const ControllerRecords* records) {
    const ExchangeResult result = exchange(
        link, surface, settings,
        stepsFor(ControllerCommand::SavePara, kCommErrorDialog, parameterFrame(parameters)));
    dropRecord(records, settings, link, result, surface);
    return result;
}

ExchangeResult downloadSetup(Link& link, OperatorSurface& surface, const Settings& settings,
                             const QByteArray& image, const ControllerRecords* records) {
    ExchangeSteps steps = stepsFor(ControllerCommand::Download, QStringLiteral("串行口设置失败!"),
                                   downloadFrame(image));
    steps.commCaption = QStringLiteral("错误信息");
    steps.afterSend = [&surface] {
        surface.setStatus(2, QStringLiteral("download......"));
        surface.repaintNow();
    };
    const ExchangeResult result = exchange(link, surface, settings, steps);
    dropRecord(records, settings, link, result, surface);
    return result;
}
