#include "cli/SignCommands.h"

#include "controller/SignRun.h"
#include "core/SettingsFile.h"
#include "core/SignBook.h"
#include "core/TransferLog.h"
#include "service/SignPages.h"
#include "transfer/ParameterBlock.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

// One sign's reports, as whole lines with its name in brackets: signs on
// different ports report at the same time.
class SignConsole : public OperatorSurface {
  public:
    SignConsole(const QString& name, FILE* statusStream, ConsoleSurface& console, std::mutex& lock)
        : m_prefix(QStringLiteral("[%1] ").arg(name)),
          m_statusStream(statusStream),
          m_console(console),
          m_lock(lock) {}

    void setStatus(int, const QString& text) override {
        if (!text.isEmpty()) {
            const std::lock_guard<std::mutex> guard(m_lock);
            writeLine(m_statusStream, m_prefix + text);
        }
    }
    void message(const QString& text, const QString&) override {
        const std::lock_guard<std::mutex> guard(m_lock);
        printError(m_prefix + QString(text).replace(QLatin1Char('\n'), QStringLiteral("\n  ")));
    }
    void note(const QString& text) override { message(text, QString()); }
    // A line a second at most, and only when progress is wanted.
    void lineProgress(qint64 sent, qint64 total, qint64 msLeft) override {
        if (!progressWanted() || (m_shown.isValid() && m_shown.elapsed() < 1000 && sent < total)) {
            return;
        }
        m_shown.start();
        const std::lock_guard<std::mutex> guard(m_lock);
        printError(m_prefix + QStringLiteral("%1 of %2 bytes sent, %3 left")
                                  .arg(sent)
                                  .arg(total)
                                  .arg(durationText(msLeft)));
    }
    bool cancelRequested() const override { return m_console.cancelRequested(); }

  private:
    QString m_prefix;
    FILE* m_statusStream;
    ConsoleSurface& m_console;
    std::mutex& m_lock;
    QElapsedTimer m_shown;
};

SignCommand signCommand(const QString& word) {
    if (word == QLatin1String("send")) {
        return SignCommand::Send;
    }
    if (word == QLatin1String("mode")) {
        return SignCommand::Mode;
    }
    return word == QLatin1String("time") ? SignCommand::Time : SignCommand::ReadPara;
}

// A sign refused before its port is opened.
SignResult refusedSign(const Sign& sign, const QString& folder, const QString& reason) {
    SignResult result;
    result.name = sign.name;
    result.num = sign.settings.NUM;
    result.port = signPortPath(sign.settings, folder);
    result.exchange.stage = ExchangeResult::Stage::Refused;
    result.exchange.reason = reason;
    result.exchange.outcome = QStringLiteral("refused: %1").arg(reason);
    return result;
}

QString resultsJson(const QString& command, const std::vector<SignResult>& results, int status) {
    QJsonArray signs;
    for (const SignResult& result : results) {
        QJsonObject sign;
        sign.insert(QStringLiteral("name"), result.name);
        sign.insert(QStringLiteral("port"), result.port);
        sign.insert(QStringLiteral("num"), result.num);
        sign.insert(QStringLiteral("outcome"), result.outcome());
        sign.insert(QStringLiteral("status"), exchangeStatus(result.exchange));
        sign.insert(QStringLiteral("text"), result.status);
        sign.insert(QStringLiteral("bytes"), result.exchange.bytes);
        sign.insert(QStringLiteral("ms"), result.exchange.ms);
        sign.insert(QStringLiteral("reason"), result.exchange.reason);
        if (result.readPara.apply) {
            sign.insert(QStringLiteral("parameters"),
                        describeParameters(result.readPara.parameters));
        }
        signs.append(sign);
    }
    QJsonObject root;
    root.insert(QStringLiteral("command"), command);
    root.insert(QStringLiteral("status"), status);
    root.insert(QStringLiteral("signs"), signs);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

}  // namespace

int runOnSignBook(const CliContext& context, const QString& command, const QString& listPath) {
    const QString& folder = context.folders.sign;
    const Settings current = loadSettings(context);
    SignBook book;
    const SignBookReadResult read = readSignBook(context.folders.settings, current, &book);
    if (!read.error.isEmpty()) {
        printError(read.error);
        return kExitBadInput;
    }
    QList<int> chosen;
    for (int i = 0; context.allSigns && i < book.signs.size(); ++i) {
        chosen << i;
    }
    for (const QString& name : context.signs) {
        const int index = book.indexOf(name);
        if (index < 0) {
            QStringList names;
            for (const Sign& sign : book.signs) {
                names << sign.name;
            }
            printError(QStringLiteral("marquee-cli: no sign called \"%1\" in the sign book (%2)")
                           .arg(name, names.join(QStringLiteral(", "))));
            return kExitBadInput;
        }
        if (!chosen.contains(index)) {
            chosen << index;
        }
    }

    const SignCommand what = signCommand(command);
    // READ PARA asks controller 0, which every controller on a line answers:
    // signs that share a port cannot be told apart by their replies.
    QMap<QString, int> onPort;
    for (const int index : chosen) {
        ++onPort[portKey(book.signs[index].settings, folder)];
    }
    std::vector<SignResult> results(size_t(chosen.size()));
    std::vector<SignJob> jobs;
    std::vector<int> placeOf;  // job -> position in results
    for (int c = 0; c < chosen.size(); ++c) {
        const Sign& sign = book.signs[chosen[c]];
        SignJob job{sign.name, sign.settings, PageList(),
                    !context.full && (context.changed || sign.sendChangesOnly)};
        if (what == SignCommand::ReadPara && onPort[portKey(sign.settings, folder)] > 1) {
            const QString problem =
                QStringLiteral(
                    "read-para cannot tell the signs on %1 apart (its request goes to every "
                    "controller on the line): read them one at a time")
                    .arg(signPortPath(sign.settings, folder));
            results[size_t(c)] = refusedSign(sign, folder, problem);
            printError(QStringLiteral("[%1] %2").arg(sign.name, problem));
            continue;
        }
        if (what == SignCommand::Send || what == SignCommand::Mode) {
            const SignPages prepared =
                prepareSignPages(what, sign, listPath, folder, QDateTime::currentDateTime());
            for (const QString& text : prepared.messages) {
                printError(QStringLiteral("[%1] %2").arg(sign.name, text));
            }
            job.pages = prepared.pages;
            const QString& problem = prepared.problem;
            if (!problem.isEmpty()) {
                results[size_t(c)] = refusedSign(sign, folder, problem);
                printError(QStringLiteral("[%1] %2").arg(sign.name, problem));
                continue;
            }
        }
        jobs.push_back(job);
        placeOf.push_back(c);
    }

    FILE* statusStream = context.json ? stderr : stdout;
    ConsoleSurface console(statusStream);
    std::mutex lock;
    std::vector<std::unique_ptr<SignConsole>> surfaces;
    for (const SignJob& job : jobs) {
        surfaces.push_back(std::make_unique<SignConsole>(job.name, statusStream, console, lock));
    }
    const QDateTime start = QDateTime::currentDateTime();
    const std::vector<SignResult> served = runOnSigns(
        what, jobs, folder, [&](int job) -> OperatorSurface& { return *surfaces[size_t(job)]; },
        start, &context.records);
    for (size_t j = 0; j < served.size(); ++j) {
        results[size_t(placeOf[j])] = served[j];
    }
    const char* names[] = {"SEND", "MODE", "TIME", "READ PARA"};
    for (const SignResult& result : results) {
        logTransfer(context, {start, QString::fromLatin1(names[int(what)]), result.num, result.port,
                              result.exchange.bytes, result.exchange.ms, result.exchange.outcome});
    }

    int status = kExitOk;
    bool bookChanged = false;
    for (int c = 0; c < chosen.size(); ++c) {
        const SignResult& result = results[size_t(c)];
        status = std::max(status, exchangeStatus(result.exchange));
        if (what == SignCommand::ReadPara && result.readPara.apply) {
            Sign& sign = book.signs[chosen[c]];
            if (!context.json) {
                writeLine(stdout, QStringLiteral("[%1] %2").arg(
                                      sign.name, describeParameters(result.readPara.parameters)));
            }
            const QString port = sign.settings.PORT;
            sign.settings = result.readPara.settings;
            sign.settings.PORT = port;
            bookChanged = true;
            if (chosen[c] == book.selectedIndex()) {
                storeSettings(context, sign.settings);  // ck.ini holds the selected sign
            }
        }
    }
    QString reason;
    if (bookChanged && read.found && !writeSignBook(context.folders.settings, book, &reason)) {
        printError(reason);
    }
    if (context.json) {
        writeLine(stdout, resultsJson(command, results, status));
    } else {
        for (const QString& line : resultsTable(results)) {
            writeLine(stdout, line);
        }
    }
    return status;
}
