#pragma once

#include "controller/ControllerCommands.h"
#include "core/OperatorSurface.h"
#include "core/Settings.h"
#include "pages/PageList.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

// SEND, MODE, TIME or READ PARA to several signs in one go.
enum class SignCommand { Send, Mode, Time, ReadPara };

// The command as the transfer log names it: "SEND", "MODE", "TIME", "READ PARA".
QString signCommandName(SignCommand command);

// One sign to serve: its name, settings (with its port) and, for SEND and
// MODE, its pages.
struct SignJob {
    QString name;
    Settings settings;
    PageList pages;
    bool changedOnly = false;  // SEND writes only the pages its record says changed
};

// How it went for one sign.
struct SignResult {
    QString name;
    QString port;  // the port's path or network address
    int num = 0;
    ExchangeResult exchange;
    ReadParaResult readPara;  // READ PARA only
    QString status;           // what status panel 2 showed last

    bool acknowledged() const {
        return exchange.stage == ExchangeResult::Stage::Done &&
               exchange.reply == ReplyOutcome::Matches;
    }
    // In a few words: the status text when acknowledged ("rec success!"),
    // else "no reply", "wrong reply", "port error", "refused", "cancelled" or
    // "stopped".
    QString outcome() const;
};

// Where one sign reports, by its position among the jobs. Surfaces of signs
// on different ports are called from different threads at once.
using SignSurfaces = std::function<OperatorSurface&(int job)>;

// Serves every job. Signs on one port go one after the other, in the order
// given, through one open of the port (NUM by NUM); signs on different
// ports are served at the same time, one thread a port. A failure on one
// sign never stops the others; after a port failure the next sign on that
// port opens it again. Results in the order of the jobs.
std::vector<SignResult> runOnSigns(SignCommand command, const std::vector<SignJob>& jobs,
                                   const QString& folder, const SignSurfaces& surfaces,
                                   const QDateTime& now = QDateTime(),
                                   const ControllerRecords* records = nullptr);

// The port a sign is reached through: its PORT, else comN in the folder.
QString signPortPath(const Settings& settings, const QString& folder);
// The same port under one name, however it is named (a device's links resolved).
QString portKey(const Settings& settings, const QString& folder);

// The results as a table for people: one line a sign under a heading
// (sign, outcome, bytes, time, reason), columns padded to line up.
QStringList resultsTable(const std::vector<SignResult>& results);
