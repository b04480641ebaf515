#pragma once

#include "controller/ControllerRecord.h"
#include "controller/SignRun.h"
#include "core/ProgramFolder.h"
#include "core/SignBook.h"
#include "service/Schedule.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <atomic>
#include <functional>
#include <map>
#include <memory>

// The sign service: keeps every sign of the sign book showing what its
// schedule says, renders and re-sends live pages when they change, sets the
// clocks once a day, retries signs that fail and keeps their health. The
// faces (the serve command's socket, HTTP, MQTT, the window) hand it
// commands; every command runs through the one command flow of the
// controller layer. A port carries one command at a time; signs on
// different ports are served at the same time, each command on a thread of
// its own. It lives on the thread that made it and wakes only for its
// timers, the files live pages read and finished commands.

struct ServiceOptions {
    Folders folders;
    QTimeZone zone = QTimeZone::systemTimeZone();
    // The clock: the system's, unless a test starts it at clockStart and
    // lets it run clockSpeed times as fast as real time.
    QDateTime clockStart;
    double clockSpeed = 1.0;
    // Retries after a failure: first after this, doubling up to the last.
    qint64 firstRetryMs = 5000;
    qint64 lastRetryMs = 5 * 60 * 1000;
};

enum class ServiceCommandKind { Send, Mode, Time, ReadPara, Text };

// A command for one sign, from a face.
struct ServiceCommand {
    ServiceCommandKind kind = ServiceCommandKind::Send;
    QString sign;        // its name in the sign book
    QString list;        // Send, Mode: a list in the sign folder; empty: what the schedule shows
    bool full = false;   // Send: every page, even when the sign sends changes only
    QByteArray message;  // Text: {"text": ..., the composer's options}
    // Send, Text: back to the schedule after this many seconds; 0: until
    // the schedule's rule changes.
    int forSeconds = 0;
    QString origin;  // who asked, for the log: "http", "mqtt", "window", ...
};

// How a command went.
struct ServiceResult {
    enum class Failure {
        None,
        UnknownSign,  // no sign of that name
        BadInput,     // refused before the port opened: nothing was sent
        Busy,         // the sign has a command of a face waiting, or the window holds its port
        NoReply,      // no reply, or a wrong one
        PortError,    // the port could not be opened or failed
        Cancelled,    // stopped at a frame boundary: the service is stopping
    };
    bool ok = false;
    Failure failure = Failure::None;
    QString sign;
    QString outcome;     // in a few words ("rec success!", "no reply", ...)
    QStringList status;  // the status texts, in order
    QStringList notes;   // what the command said besides (live pages left, the kind of transfer)
    QString reason;      // why it failed
    qint64 bytes = 0;
    qint64 ms = 0;
    QJsonObject parameters;  // READ PARA: the parameter block received

    QJsonObject toJson() const;
};

// What a sign's health is.
struct SignHealth {
    enum class State { Starting, Ok, Retrying, Failing };
    QString name;
    QString port;
    int num = 0;
    State state = State::Starting;  // Retrying: a fault of the line; Failing: of what it is to show
    QDateTime lastSuccess;
    QDateTime lastFailure;
    QString reason;  // of the last failure
    QString list;    // what it shows, as far as the service knows
    qint64 bytesToday = 0;
    QDate today;
    int failures = 0;   // one after the other
    QDateTime nextTry;  // when a retry is due
    bool busy = false;  // a command is on its port now

    QJsonObject toJson() const;
};
QString healthStateText(SignHealth::State state);

class SignService : public QObject {
    Q_OBJECT
  public:
    explicit SignService(const ServiceOptions& options, QObject* parent = nullptr);
    ~SignService() override;

    // Reads the sign book and starts every sign. False with the reason when
    // the book cannot be read.
    bool start(QString* error);
    // Reads the sign book again (SIGHUP): new signs start, gone ones stop
    // once their command ends, changed ones are evaluated now (a sign whose
    // settings changed gets its list again).
    bool reload(QString* error);
    // Asks every command on a port to stop at its next frame boundary and
    // drops those waiting; finished() once every port is released.
    void stop();
    bool stopping() const { return m_stopping; }

    QDateTime now() const;
    const Folders& folders() const { return m_options.folders; }
    const SignBook& book() const { return m_book; }
    QList<SignHealth> health() const;
    // Every sign's health as the status command prints it.
    QJsonObject statusJson() const;

    // Runs command after what its port is doing now; done is called on
    // this object's thread with the result.
    using Done = std::function<void(const ServiceResult&)>;
    void submit(const ServiceCommand& command, const Done& done);

    // Holds the port of a sign for another program (the window): no command
    // of the service starts on it until released. granted is called once
    // the port is free. Returns the hold, or 0 for an unknown sign.
    int hold(const QString& sign, const std::function<void()>& granted);
    void release(int hold);

  signals:
    void healthChanged(const QString& sign);
    // One line an event, for the journal.
    void logLine(const QString& line);
    void finished();

  private:
    struct Work;
    struct WorkResult;
    struct SignState;
    struct PortState;

    void evaluate(const QString& name);
    void arm(SignState& state, const QDateTime& wake);
    void enqueue(std::unique_ptr<Work> work);
    void pump(const QString& port);
    void finish(const QString& port, std::shared_ptr<Work> work, const WorkResult& result);
    void applyBook(const SignBook& book);
    void watchFiles();
    void fileChanged(const QString& path);
    void log(const QString& sign, const QString& text);
    qint64 msUntil(const QDateTime& when) const;
    QString portOf(const Sign& sign) const;
    void checkFinished();

    ServiceOptions m_options;
    ControllerRecords m_records;
    SignBook m_book;
    QElapsedTimer m_clock;
    std::map<QString, std::unique_ptr<SignState>> m_signs;
    std::map<QString, std::unique_ptr<PortState>> m_ports;
    class QFileSystemWatcher* m_watcher = nullptr;
    std::atomic<bool> m_cancel{false};
    bool m_stopping = false;
    int m_nextHold = 0;
};
