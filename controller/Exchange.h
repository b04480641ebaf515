#pragma once

#include "controller/Link.h"
#include "controller/Replies.h"
#include "core/OperatorSurface.h"
#include "core/Settings.h"

#include <QByteArray>
#include <QString>

#include <functional>

// One command to the controller: open the port "com" + COMM, configure it at
// the BPS rate, build the transmission, write it in one piece, wait for the
// reply, show the outcome in status panel 2, close the port.
struct ExchangeResult {
    enum class Stage { PortError, Refused, Done };
    Stage stage = Stage::PortError;
    ReplyOutcome reply = ReplyOutcome::NoReply;
    // Why the port failed, the build refused, the write failed or the reply
    // was not the one expected (empty when the controller acknowledged).
    QString reason;
};

struct ExchangeSteps {
    ControllerCommand command;
    QString commError;    // the command's own message when the port fails
    QString commCaption;  // its caption, if any
    // Fills the transmission once the port is configured; returns false
    // (with a reason) to refuse before anything is written.
    std::function<bool(QByteArray& tx, QString* reason)> build;
    // Runs right after the write, before the wait (may be empty).
    std::function<void()> afterSend;
};

ExchangeResult exchange(Link& link, OperatorSurface& surface, const Settings& settings,
                        const ExchangeSteps& steps);
