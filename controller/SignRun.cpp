#include "controller/SignRun.h"

#include "core/TextColumns.h"
#include "platform/SerialDevice.h"

#include <QFileInfo>
#include <QMap>

#include <algorithm>
#include <thread>

namespace {

// What panel 2 shows, kept for the results.
class StatusKeeper : public OperatorSurface {
  public:
    explicit StatusKeeper(OperatorSurface& inner) : m_inner(inner) {}
    void setStatus(int panel, const QString& text) override {
        if (panel == 2) {
            status = text;
        }
        m_inner.setStatus(panel, text);
    }
    void repaintNow() override { m_inner.repaintNow(); }
    void message(const QString& text, const QString& caption) override {
        m_inner.message(text, caption);
    }
    void preparingPage(int page, const QImage& image) override {
        m_inner.preparingPage(page, image);
    }
    void progress(int value, int maximum) override { m_inner.progress(value, maximum); }
    void lineProgress(qint64 sent, qint64 total, qint64 msLeft) override {
        m_inner.lineProgress(sent, total, msLeft);
    }
    void awaitingReply(int timeoutMs) override { m_inner.awaitingReply(timeoutMs); }
    bool cancelRequested() const override { return m_inner.cancelRequested(); }
    void note(const QString& text) override { m_inner.note(text); }

    QString status;

  private:
    OperatorSurface& m_inner;
};

SignResult serve(SignCommand command, const SignJob& job, Link& link, OperatorSurface& surface,
                 const QString& folder, const QDateTime& now, const ControllerRecords* records) {
    SignResult result;
    result.name = job.name;
    result.num = job.settings.NUM;
    StatusKeeper keeper(surface);
    link.setSurface(keeper);
    switch (command) {
        case SignCommand::Send:
            result.exchange = sendPages(link, keeper, job.settings, job.pages, folder,
                                        {nullptr, job.changedOnly, records});
            break;
        case SignCommand::Mode:
            result.exchange = sendPlayModes(link, keeper, job.settings, job.pages, records);
            break;
        case SignCommand::Time:
            result.exchange = setClock(link, keeper, job.settings, now);
            break;
        case SignCommand::ReadPara:
            result.readPara = readParameters(link, keeper, job.settings, records);
            result.exchange = result.readPara.exchange;
            break;
    }
    result.port =
        result.exchange.port.isEmpty() ? signPortPath(job.settings, folder) : result.exchange.port;
    result.status = keeper.status;
    if (result.exchange.stage == ExchangeResult::Stage::PortError) {
        link.release();  // the next sign on this port opens it again
    }
    return result;
}

QString seconds(qint64 ms) {
    return QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 1);
}

}  // namespace

QString SignResult::outcome() const {
    switch (exchange.stage) {
        case ExchangeResult::Stage::PortError:
            return QStringLiteral("port error");
        case ExchangeResult::Stage::Refused:
            return QStringLiteral("refused");
        case ExchangeResult::Stage::Cancelled:
            return QStringLiteral("cancelled");
        case ExchangeResult::Stage::Stopped:
            return QStringLiteral("stopped");
        case ExchangeResult::Stage::Done:
            break;
    }
    switch (exchange.reply) {
        case ReplyOutcome::Matches:
            return status.isEmpty() ? QStringLiteral("acknowledged") : status;
        case ReplyOutcome::NoReply:
            return QStringLiteral("no reply");
        case ReplyOutcome::Differs:
            break;
    }
    return QStringLiteral("wrong reply");
}

QString signPortPath(const Settings& settings, const QString& folder) {
    if (!settings.PORT.isEmpty()) {
        return settings.PORT;
    }
    return serialPortPath(folder, settings.COMM);
}

QString portKey(const Settings& settings, const QString& folder) {
    const QString path = signPortPath(settings, folder);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

std::vector<SignResult> runOnSigns(SignCommand command, const std::vector<SignJob>& jobs,
                                   const QString& folder, const SignSurfaces& surfaces,
                                   const QDateTime& now, const ControllerRecords* records) {
    // Jobs by port, in their order; a device reached by two names is one port.
    QMap<QString, std::vector<int>> byPort;
    QStringList order;
    for (int i = 0; i < int(jobs.size()); ++i) {
        const QString key = portKey(jobs[size_t(i)].settings, folder);
        if (!byPort.contains(key)) {
            order << key;
        }
        byPort[key].push_back(i);
    }
    std::vector<SignResult> results(jobs.size());
    auto servePort = [&](const std::vector<int>& positions) {
        Link link(folder, surfaces(positions.front()));
        link.holdOpen(true);
        for (const int i : positions) {
            if (surfaces(i).cancelRequested()) {
                // Stopped by the operator: the signs not begun are left alone.
                SignResult& skipped = results[size_t(i)];
                skipped.name = jobs[size_t(i)].name;
                skipped.num = jobs[size_t(i)].settings.NUM;
                skipped.port = signPortPath(jobs[size_t(i)].settings, folder);
                skipped.exchange.stage = ExchangeResult::Stage::Cancelled;
                continue;
            }
            results[size_t(i)] =
                serve(command, jobs[size_t(i)], link, surfaces(i), folder, now, records);
        }
        link.release();
    };
    std::vector<std::thread> workers;
    for (int p = 1; p < order.size(); ++p) {
        workers.emplace_back(servePort, byPort.value(order[p]));
    }
    if (!order.isEmpty()) {
        servePort(byPort.value(order.first()));
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return results;
}

QStringList resultsTable(const std::vector<SignResult>& results) {
    QList<QStringList> rows = {{QStringLiteral("sign"), QStringLiteral("outcome"),
                                QStringLiteral("bytes"), QStringLiteral("time"),
                                QStringLiteral("reason")}};
    for (const SignResult& result : results) {
        rows.append({result.name, result.outcome(), QString::number(result.exchange.bytes),
                     seconds(result.exchange.ms),
                     result.exchange.reason.section(QLatin1Char('\n'), 0, 0)});
    }
    return alignColumns(rows, {2, 3});
}

QString signCommandName(SignCommand command) {
    static const char* const names[] = {"SEND", "MODE", "TIME", "READ PARA"};
    return QString::fromLatin1(names[int(command)]);
}
