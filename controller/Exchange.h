#pragma once

#include "controller/Link.h"
#include "controller/Replies.h"
#include "core/OperatorSurface.h"
#include "core/Settings.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// One command to the controller: open the port "com" + COMM, configure it at
// the BPS rate, build the transmission, write it, wait for the reply, show
// the outcome in status panel 2, close the port.
struct ExchangeResult {
    enum class Stage {
        PortError,  // the port could not be opened or configured
        Refused,    // bad input: nothing was written
        Cancelled,  // the operator stopped it at a frame boundary
        Stopped,    // the rest could not be built: stopped at a frame boundary
        Done,       // written, and the reply judged
    };
    Stage stage = Stage::PortError;
    ReplyOutcome reply = ReplyOutcome::NoReply;
    // Why the port failed, the build refused or stopped, the write failed or
    // the reply was not the one expected (empty when the controller acknowledged).
    QString reason;
    QString port;      // the port's path
    qint64 bytes = 0;  // bytes written
    qint64 ms = 0;     // from opening the port to closing it
    QString outcome;   // in a few words, for the transfer log
};

struct ExchangeSteps {
    ControllerCommand command;
    QString commError;    // the command's own message when the port fails
    QString commCaption;  // its caption, if any
    // Fills the transmission once the port is configured; returns false
    // (with a reason) to refuse before anything is written.
    std::function<bool(QByteArray& tx, QString* reason)> build;
    // Or, instead of build: a transmission built while it is written. Null
    // with a reason to refuse.
    std::function<std::unique_ptr<FrameSource>(QString* reason)> stream;
    // Runs right after the write, before the wait (may be empty).
    std::function<void()> afterSend;
};

ExchangeResult exchange(Link& link, OperatorSurface& surface, const Settings& settings,
                        const ExchangeSteps& steps);

// Told when a transfer was cancelled: the controller did not get its end.
extern const char kCancelledText[];
