#include "service/SignService.h"

#include "core/SettingsFile.h"
#include "core/TransferLog.h"
#include "service/SignPages.h"
#include "transfer/ParameterBlock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>

namespace {

// A command's reports, kept for its result. Called from the command's thread.
class Collector : public OperatorSurface {
  public:
    explicit Collector(const std::atomic<bool>& cancel) : m_cancel(cancel) {}
    void setStatus(int, const QString& text) override {
        if (!text.isEmpty()) {
            status << text;
        }
    }
    // The message boxes' texts ("comm error ") say what the reason says.
    void message(const QString&, const QString&) override {}
    void note(const QString& text) override { notes << text; }
    bool cancelRequested() const override { return m_cancel.load(); }

    QStringList status;
    QStringList notes;

  private:
    const std::atomic<bool>& m_cancel;
};

QString isoText(const QDateTime& time) {
    return time.isValid() ? time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate)
                          : QString();
}

const char* failureText(ServiceResult::Failure failure) {
    switch (failure) {
        case ServiceResult::Failure::None:
            return "";
        case ServiceResult::Failure::UnknownSign:
            return "unknown sign";
        case ServiceResult::Failure::BadInput:
            return "bad input";
        case ServiceResult::Failure::Busy:
            return "busy";
        case ServiceResult::Failure::NoReply:
            return "no reply";
        case ServiceResult::Failure::PortError:
            return "port error";
        case ServiceResult::Failure::Cancelled:
            return "cancelled";
    }
    return "";
}

ServiceResult::Failure failureOf(const SignResult& result) {
    if (result.acknowledged()) {
        return ServiceResult::Failure::None;
    }
    switch (result.exchange.stage) {
        case ExchangeResult::Stage::PortError:
            return ServiceResult::Failure::PortError;
        case ExchangeResult::Stage::Refused:
        case ExchangeResult::Stage::Stopped:
            return ServiceResult::Failure::BadInput;
        case ExchangeResult::Stage::Cancelled:
            return ServiceResult::Failure::Cancelled;
        case ExchangeResult::Stage::Done:
            break;
    }
    return ServiceResult::Failure::NoReply;
}

const char* commandWord(SignCommand command) {
    const char* words[] = {"SEND", "MODE", "TIME", "READ PARA"};
    return words[int(command)];
}

}  // namespace

QJsonObject ServiceResult::toJson() const {
    QJsonObject out;
    out.insert(QStringLiteral("sign"), sign);
    out.insert(QStringLiteral("ok"), ok);
    out.insert(QStringLiteral("outcome"), outcome);
    out.insert(QStringLiteral("status"), QJsonArray::fromStringList(status));
    if (!notes.isEmpty()) {
        out.insert(QStringLiteral("notes"), QJsonArray::fromStringList(notes));
    }
    if (!ok) {
        out.insert(QStringLiteral("failure"), QLatin1String(failureText(failure)));
        out.insert(QStringLiteral("reason"), reason);
    }
    out.insert(QStringLiteral("bytes"), bytes);
    out.insert(QStringLiteral("ms"), ms);
    if (!parameters.isEmpty()) {
        out.insert(QStringLiteral("parameters"), parameters);
    }
    return out;
}

QString healthStateText(SignHealth::State state) {
    switch (state) {
        case SignHealth::State::Starting:
            return QStringLiteral("starting");
        case SignHealth::State::Ok:
            return QStringLiteral("ok");
        case SignHealth::State::Retrying:
            return QStringLiteral("retrying");
        case SignHealth::State::Failing:
            return QStringLiteral("failing");
    }
    return {};
}

QJsonObject SignHealth::toJson() const {
    QJsonObject out;
    out.insert(QStringLiteral("name"), name);
    out.insert(QStringLiteral("port"), port);
    out.insert(QStringLiteral("num"), num);
    out.insert(QStringLiteral("state"), healthStateText(state));
    out.insert(QStringLiteral("lastSuccess"), isoText(lastSuccess));
    out.insert(QStringLiteral("lastFailure"), isoText(lastFailure));
    out.insert(QStringLiteral("reason"), reason);
    out.insert(QStringLiteral("list"), list);
    out.insert(QStringLiteral("bytesToday"), bytesToday);
    out.insert(QStringLiteral("failures"), failures);
    out.insert(QStringLiteral("nextTry"), isoText(nextTry));
    out.insert(QStringLiteral("busy"), busy);
    return out;
}

// One piece of work for a port.
struct SignService::Work {
    enum class Kind { Schedule, Live, Clock, Face };
    Kind kind = Kind::Schedule;
    Sign sign;               // as it was when the work was queued
    QString list;            // Schedule, Live, Face Send and Mode: the list
    ScheduleChoice choice;   // Schedule: what the schedule shows
    ServiceCommand command;  // Face
    Done done;
    PageList shown;  // Live: what the sign shows now
};

// What a piece of work did.
struct SignService::WorkResult {
    SignCommand command = SignCommand::Send;
    bool unchanged = false;  // Live: the pages render as they were sent
    SignResult result;
    ServiceResult service;
    PageList pages;  // SEND: what went
    LiveWatch watch;
    bool live = false;  // the pages sent hold live pages
};

struct SignService::SignState {
    Sign sign;
    QString port;
    ScheduleState schedule;
    SignHealth health;
    QTimer timer;
    bool queued = false;  // work of its own waiting or running
    int faceWaiting = 0;  // commands of faces waiting or running
    bool removed = false;
    // What it shows: a list of the schedule, or a face's list or message.
    QString shownList;  // the list its live pages come from; empty: none
    PageList shownPages;
    bool live = false;
    LiveWatch watch;
    bool messageShown = false;
    QDateTime messageUntil;  // invalid: until the rule in force changes
    QDateTime retryAt;
    qint64 retryMs = 0;
    QDateTime nextClock;
    bool clockDue = false;
};

struct SignService::PortState {
    bool running = false;
    std::deque<std::shared_ptr<Work>> queue;
    struct Hold {
        int id = 0;
        std::function<void()> granted;
        bool given = false;
    };
    std::vector<Hold> holds;
    QThread* thread = nullptr;
};

SignService::SignService(const ServiceOptions& options, QObject* parent)
    : QObject(parent),
      m_options(options),
      m_records(ControllerRecords::folderFor(options.folders.data)) {
    m_clock.start();
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &SignService::fileChanged);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &SignService::fileChanged);
}

SignService::~SignService() {
    m_cancel = true;
    for (auto& [key, port] : m_ports) {
        if (port->thread) {
            port->thread->wait();
        }
    }
}

QDateTime SignService::now() const {
    if (!m_options.clockStart.isValid()) {
        return QDateTime::currentDateTime();
    }
    return m_options.clockStart.addMSecs(qint64(double(m_clock.elapsed()) * m_options.clockSpeed));
}

qint64 SignService::msUntil(const QDateTime& when) const {
    const qint64 ms = now().msecsTo(when);
    return std::max<qint64>(0, qint64(double(ms) / m_options.clockSpeed));
}

QString SignService::portOf(const Sign& sign) const {
    return portKey(sign.settings, m_options.folders.sign);
}

void SignService::log(const QString& sign, const QString& text) {
    const QString time = now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    emit logLine(sign.isEmpty() ? QStringLiteral("%1  %2").arg(time, text)
                                : QStringLiteral("%1  [%2] %3").arg(time, sign, text));
}

bool SignService::start(QString* error) {
    if (!reload(error)) {
        return false;
    }
    log({}, QStringLiteral("serving %1 sign%2")
                .arg(m_book.signs.size())
                .arg(m_book.signs.size() == 1 ? "" : "s"));
    return true;
}

bool SignService::reload(QString* error) {
    Settings current;
    readSettings(m_options.folders, &current);
    SignBook book;
    const SignBookReadResult read = readSignBook(m_options.folders.settings, current, &book);
    if (!read.error.isEmpty()) {
        *error = read.error;
        return false;
    }
    const QString problem = checkSignBook(book);
    if (!problem.isEmpty()) {
        *error = problem;
        return false;
    }
    applyBook(book);
    return true;
}

void SignService::applyBook(const SignBook& book) {
    QSet<QString> names;
    const QDateTime at = now();
    for (const Sign& sign : book.signs) {
        names.insert(sign.name);
        auto found = m_signs.find(sign.name);
        if (found == m_signs.end() || found->second->removed) {
            auto state = std::make_unique<SignState>();
            state->timer.setSingleShot(true);
            const QString name = sign.name;
            connect(&state->timer, &QTimer::timeout, this, [this, name] { evaluate(name); });
            if (found != m_signs.end()) {
                // Removed while its command ran, and back: it starts afresh.
                state->queued = found->second->queued;
                state->faceWaiting = found->second->faceWaiting;
            }
            found = m_signs.insert_or_assign(sign.name, std::move(state)).first;
        } else if (found->second->sign == sign) {
            continue;
        } else if (found->second->sign.settings != sign.settings ||
                   found->second->sign.list != sign.list) {
            // Another screen, port or list: what it shows is not known to be right.
            found->second->schedule = ScheduleState();
            found->second->messageShown = false;
        }
        SignState& state = *found->second;
        state.sign = sign;
        state.port = portOf(sign);
        state.health.name = sign.name;
        state.health.port = signPortPath(sign.settings, m_options.folders.sign);
        state.health.num = sign.settings.NUM;
        state.nextClock = nextClockSet(sign, at, m_options.zone);
        state.retryAt = QDateTime();
        state.retryMs = 0;
        if (!m_ports.count(state.port)) {
            m_ports.emplace(state.port, std::make_unique<PortState>());
        }
        QTimer::singleShot(0, this, [this, name = sign.name] { evaluate(name); });
    }
    for (auto& [name, state] : m_signs) {
        if (!names.contains(name)) {
            state->removed = true;
            state->timer.stop();
        }
    }
    for (auto it = m_signs.begin(); it != m_signs.end();) {
        it = it->second->removed && !it->second->queued && it->second->faceWaiting == 0
                 ? m_signs.erase(it)
                 : std::next(it);
    }
    m_book = book;
    watchFiles();
}

void SignService::stop() {
    if (m_stopping) {
        return;
    }
    m_stopping = true;
    m_cancel = true;
    log({}, QStringLiteral("stopping"));
    for (auto& [name, state] : m_signs) {
        state->timer.stop();
    }
    for (auto& [key, port] : m_ports) {
        std::deque<std::shared_ptr<Work>> dropped;
        dropped.swap(port->queue);
        for (const std::shared_ptr<Work>& work : dropped) {
            auto state = m_signs.find(work->sign.name);
            if (state != m_signs.end() && work->kind == Work::Kind::Face) {
                --state->second->faceWaiting;
            } else if (state != m_signs.end()) {
                state->second->queued = false;
            }
            if (work->done) {
                ServiceResult result;
                result.sign = work->sign.name;
                result.failure = ServiceResult::Failure::Cancelled;
                result.outcome = QStringLiteral("cancelled");
                result.reason = QStringLiteral("the sign service is stopping");
                work->done(result);
            }
        }
    }
    checkFinished();
}

void SignService::checkFinished() {
    if (!m_stopping) {
        return;
    }
    for (const auto& [key, port] : m_ports) {
        if (port->running) {
            return;
        }
    }
    QTimer::singleShot(0, this, [this] {
        log({}, QStringLiteral("stopped: every port released"));
        emit finished();
    });
}

QList<SignHealth> SignService::health() const {
    QList<SignHealth> out;
    for (const Sign& sign : m_book.signs) {
        const auto found = m_signs.find(sign.name);
        if (found != m_signs.end()) {
            SignHealth health = found->second->health;
            const auto port = m_ports.find(found->second->port);
            health.busy = port != m_ports.end() && port->second->running;
            out << health;
        }
    }
    return out;
}

QJsonObject SignService::statusJson() const {
    QJsonArray signs;
    for (const SignHealth& health : health()) {
        signs.append(health.toJson());
    }
    QJsonObject out;
    out.insert(QStringLiteral("pid"), qint64(QCoreApplication::applicationPid()));
    out.insert(QStringLiteral("time"), isoText(now()));
    out.insert(QStringLiteral("stopping"), m_stopping);
    out.insert(QStringLiteral("signs"), signs);
    return out;
}

void SignService::arm(SignState& state, const QDateTime& wake) {
    if (!wake.isValid() || m_stopping) {
        state.timer.stop();
        return;
    }
    // Long waits are cut to an hour, so a clock put right is caught up with.
    state.timer.start(int(std::min<qint64>(msUntil(wake), 3600 * 1000)));
}

void SignService::evaluate(const QString& name) {
    const auto found = m_signs.find(name);
    if (m_stopping || found == m_signs.end() || found->second->removed) {
        return;
    }
    SignState& state = *found->second;
    if (state.queued) {
        return;  // evaluated again when that work ends
    }
    const QDateTime at = now();
    if (state.health.today != at.date()) {
        state.health.today = at.date();
        state.health.bytesToday = 0;
    }
    if (state.retryAt.isValid() && at < state.retryAt) {
        arm(state, state.retryAt);
        return;
    }
    auto queue = [&](Work::Kind kind) {
        auto work = std::make_unique<Work>();
        work->kind = kind;
        work->sign = state.sign;
        work->shown = state.shownPages;
        work->list = state.shownList;
        return work;
    };
    if (state.messageShown && state.messageUntil.isValid() && at >= state.messageUntil) {
        state.messageShown = false;
        state.schedule.sent = false;  // back to the schedule
        log(name, QStringLiteral("the message has had its time: back to the schedule"));
    }
    const ScheduleStep step = advanceSchedule(state.sign, &state.schedule, at, m_options.zone);
    if (step.send) {
        if (step.choice.list.isEmpty()) {
            state.health.state = SignHealth::State::Failing;
            state.health.reason = QStringLiteral("no play list for the sign in the sign book");
            recordSent(&state.schedule, step.choice);  // nothing to send until it changes
        } else {
            auto work = queue(Work::Kind::Schedule);
            work->choice = step.choice;
            work->list = step.choice.list;
            enqueue(std::move(work));
            return;
        }
    }
    QDateTime wake = step.wake;
    auto consider = [&wake](const QDateTime& time) {
        if (time.isValid() && (!wake.isValid() || time < wake)) {
            wake = time;
        }
    };
    if (state.messageShown) {
        consider(state.messageUntil);
    } else if (state.live) {
        if (state.watch.filesChanged() || (state.watch.next.isValid() && at >= state.watch.next)) {
            enqueue(queue(Work::Kind::Live));
            return;
        }
        consider(state.watch.next);
    }
    if (state.clockDue || (state.nextClock.isValid() && at >= state.nextClock)) {
        enqueue(queue(Work::Kind::Clock));
        return;
    }
    consider(state.nextClock);
    arm(state, wake);
}

void SignService::submit(const ServiceCommand& command, const Done& done) {
    ServiceResult refused;
    refused.sign = command.sign;
    const auto found = m_signs.find(command.sign);
    if (found == m_signs.end() || found->second->removed) {
        QStringList names;
        for (const Sign& sign : m_book.signs) {
            names << sign.name;
        }
        refused.failure = ServiceResult::Failure::UnknownSign;
        refused.outcome = QStringLiteral("refused");
        refused.reason = QStringLiteral("no sign called \"%1\" in the sign book (%2)")
                             .arg(command.sign, names.join(QStringLiteral(", ")));
        done(refused);
        return;
    }
    SignState& state = *found->second;
    const PortState& port = *m_ports.at(state.port);
    const bool held = std::any_of(port.holds.begin(), port.holds.end(),
                                  [](const PortState::Hold& hold) { return hold.given; });
    if (m_stopping || state.faceWaiting > 0 || held) {
        refused.failure =
            m_stopping ? ServiceResult::Failure::Cancelled : ServiceResult::Failure::Busy;
        refused.outcome = QStringLiteral("refused");
        refused.reason = m_stopping ? QStringLiteral("the sign service is stopping")
                         : held     ? QStringLiteral("the window is using the sign's port")
                                    : QStringLiteral("the sign has a command waiting already");
        done(refused);
        return;
    }
    auto work = std::make_unique<Work>();
    work->kind = Work::Kind::Face;
    work->sign = state.sign;
    work->command = command;
    work->done = done;
    work->list = command.list.isEmpty() ? scheduleChoiceAt(state.sign, now(), m_options.zone).list
                                        : command.list;
    ++state.faceWaiting;
    enqueue(std::move(work));
}

int SignService::hold(const QString& sign, const std::function<void()>& granted) {
    const auto found = m_signs.find(sign);
    if (found == m_signs.end()) {
        return 0;
    }
    PortState& port = *m_ports.at(found->second->port);
    port.holds.push_back({++m_nextHold, granted, false});
    log(sign, QStringLiteral("the port is asked for by another program"));
    pump(found->second->port);
    return m_nextHold;
}

void SignService::release(int hold) {
    for (auto& [key, port] : m_ports) {
        const auto it = std::find_if(port->holds.begin(), port->holds.end(),
                                     [hold](const PortState::Hold& h) { return h.id == hold; });
        if (it != port->holds.end()) {
            port->holds.erase(it);
            pump(key);
            return;
        }
    }
}

void SignService::enqueue(std::unique_ptr<Work> work) {
    const auto found = m_signs.find(work->sign.name);
    if (work->kind != Work::Kind::Face) {
        found->second->queued = true;
    }
    const QString port = found->second->port;
    m_ports.at(port)->queue.push_back(std::move(work));
    pump(port);
}

namespace {

// Runs one piece of work on its own thread: makes the pages, then the one
// command flow of the controller layer.
struct Job {
    SignCommand command = SignCommand::Send;
    SignPages pages;
    bool changedOnly = false;
    bool liveCheck = false;  // nothing goes when the pages render as shown
    PageList shown;
};

}  // namespace

void SignService::pump(const QString& key) {
    PortState& port = *m_ports.at(key);
    if (port.running || m_stopping) {
        return;
    }
    for (PortState::Hold& hold : port.holds) {
        if (hold.given) {
            return;
        }
    }
    if (!port.holds.empty()) {
        port.holds.front().given = true;
        port.holds.front().granted();
        return;
    }
    if (port.queue.empty()) {
        return;
    }
    std::shared_ptr<Work> work = port.queue.front();
    port.queue.pop_front();
    port.running = true;

    const Folders folders = m_options.folders;
    const QDateTime at = now();
    const ControllerRecords* records = &m_records;
    const std::atomic<bool>* cancel = &m_cancel;
    port.thread = QThread::create([this, key, work, folders, at, records, cancel] {
        const Sign& sign = work->sign;
        const QString& folder = folders.sign;
        Job job;
        switch (work->kind) {
            case Work::Kind::Schedule:
                job.pages = prepareSignPages(SignCommand::Send, sign, work->list, folder, at);
                job.changedOnly = sign.sendChangesOnly;
                break;
            case Work::Kind::Live:
                job.pages = prepareSignPages(SignCommand::Send, sign, work->list, folder, at);
                job.changedOnly = sign.sendChangesOnly;
                job.liveCheck = true;
                break;
            case Work::Kind::Clock:
                job.command = SignCommand::Time;
                break;
            case Work::Kind::Face:
                switch (work->command.kind) {
                    case ServiceCommandKind::Send:
                        job.pages =
                            prepareSignPages(SignCommand::Send, sign, work->list, folder, at);
                        job.changedOnly = sign.sendChangesOnly && !work->command.full;
                        break;
                    case ServiceCommandKind::Mode:
                        job.command = SignCommand::Mode;
                        job.pages =
                            prepareSignPages(SignCommand::Mode, sign, work->list, folder, at);
                        break;
                    case ServiceCommandKind::Time:
                        job.command = SignCommand::Time;
                        break;
                    case ServiceCommandKind::ReadPara:
                        job.command = SignCommand::ReadPara;
                        break;
                    case ServiceCommandKind::Text:
                        job.pages = composeMessage(sign, work->command.message, folder);
                        job.changedOnly = sign.sendChangesOnly;
                        break;
                }
                break;
        }
        WorkResult out;
        out.command = job.command;
        out.pages = job.pages.pages;
        out.watch = job.pages.watch;
        out.live = job.pages.watch.next.isValid() || !job.pages.watch.files.isEmpty();
        ServiceResult& service = out.service;
        service.sign = sign.name;
        service.notes = job.pages.messages;
        if (!job.pages.problem.isEmpty()) {
            service.failure = ServiceResult::Failure::BadInput;
            service.outcome = QStringLiteral("refused");
            service.reason = job.pages.problem;
            out.result.exchange.stage = ExchangeResult::Stage::Refused;
            out.result.exchange.reason = job.pages.problem;
            out.result.exchange.outcome = QStringLiteral("refused: %1").arg(job.pages.problem);
        } else if (job.liveCheck && samePages(job.pages.pages, work->shown)) {
            out.unchanged = true;
            service.ok = true;
        } else {
            Collector collector(*cancel);
            const SignJob signJob{sign.name, sign.settings, job.pages.pages, job.changedOnly};
            out.result = runOnSigns(
                job.command, {signJob}, folder,
                [&collector](int) -> OperatorSurface& { return collector; }, at, records)[0];
            service.ok = out.result.acknowledged();
            service.failure = failureOf(out.result);
            service.outcome = out.result.outcome();
            service.status = collector.status;
            service.notes << collector.notes;
            service.reason = out.result.exchange.reason;
            service.bytes = out.result.exchange.bytes;
            service.ms = out.result.exchange.ms;
            if (out.result.readPara.apply) {
                service.parameters.insert(QStringLiteral("text"),
                                          describeParameters(out.result.readPara.parameters));
            }
        }
        QMetaObject::invokeMethod(
            this, [this, key, work, out] { finish(key, work, out); }, Qt::QueuedConnection);
    });
    connect(port.thread, &QThread::finished, port.thread, &QObject::deleteLater);
    port.thread->start();
}

void SignService::finish(const QString& key, std::shared_ptr<Work> work, const WorkResult& out) {
    PortState& port = *m_ports.at(key);
    port.thread->wait();
    port.thread = nullptr;
    port.running = false;
    const ServiceResult& service = out.service;
    const QDateTime at = now();
    const QString name = work->sign.name;
    const bool face = work->kind == Work::Kind::Face;
    const bool ran = !out.unchanged && service.failure != ServiceResult::Failure::BadInput;

    // The transfer log has every command that reached the line or was refused.
    if (!out.unchanged) {
        const CommandRecord record{
            at.addMSecs(-service.ms),
            QString::fromLatin1(commandWord(out.command)),
            work->sign.settings.NUM,
            out.result.port.isEmpty() ? signPortPath(work->sign.settings, m_options.folders.sign)
                                      : out.result.port,
            service.bytes,
            service.ms,
            out.result.exchange.outcome.isEmpty() ? service.outcome : out.result.exchange.outcome};
        QString error;
        if (!appendTransferLog(transferLogPath(m_options.folders.data), transferLogLine(record),
                               &error)) {
            log(name, error);
        }
    }
    const auto found = m_signs.find(name);
    if (found != m_signs.end()) {
        SignState& state = *found->second;
        if (face) {
            --state.faceWaiting;
        } else {
            state.queued = false;
        }
        SignHealth& health = state.health;
        if (service.ok) {
            if (ran) {
                health.state = SignHealth::State::Ok;
                health.lastSuccess = at;
                health.failures = 0;
                health.bytesToday += service.bytes;
                health.nextTry = QDateTime();
                state.retryAt = QDateTime();
                state.retryMs = 0;
            }
            const bool sent = out.command == SignCommand::Send && !out.unchanged;
            if (work->kind == Work::Kind::Schedule) {
                recordSent(&state.schedule, work->choice);
                state.messageShown = false;
                state.clockDue = state.clockDue || (!work->sign.sendChangesOnly &&
                                                    work->sign.setClock != kClockNever);
            }
            if (work->kind == Work::Kind::Clock ||
                (face && work->command.kind == ServiceCommandKind::Time)) {
                state.clockDue = false;
                state.nextClock = nextClockSet(state.sign, at, m_options.zone);
            }
            if (face && sent) {
                state.messageShown = true;
                state.messageUntil = work->command.forSeconds > 0
                                         ? at.addSecs(work->command.forSeconds)
                                         : QDateTime();
            }
            if (sent || work->kind == Work::Kind::Live) {
                state.shownPages = out.pages;
                state.watch = out.watch;
                state.live = out.live;
                state.shownList =
                    face && work->command.kind == ServiceCommandKind::Text ? QString() : work->list;
                health.list = face && work->command.kind == ServiceCommandKind::Text
                                  ? QStringLiteral("(message)")
                                  : work->list;
            }
        } else if (service.failure != ServiceResult::Failure::Cancelled) {
            health.lastFailure = at;
            health.reason = service.reason.section(QLatin1Char('\n'), 0, 0);
            ++health.failures;
            if (!face) {
                // Every failure is tried again: a fault of the line soon and
                // then less and less often, a bad list after the longest wait.
                const bool line = service.failure != ServiceResult::Failure::BadInput;
                state.retryMs = !line ? m_options.lastRetryMs
                                : state.retryMs == 0
                                    ? m_options.firstRetryMs
                                    : std::min(state.retryMs * 2, m_options.lastRetryMs);
                const double jitter = 0.8 + 0.4 * QRandomGenerator::global()->generateDouble();
                state.retryAt = at.addMSecs(qint64(double(state.retryMs) * jitter));
                health.nextTry = state.retryAt;
                health.state = line ? SignHealth::State::Retrying : SignHealth::State::Failing;
            } else if (health.state != SignHealth::State::Retrying) {
                health.state = SignHealth::State::Failing;
            }
        }
        if (!out.unchanged) {
            QString what;
            switch (work->kind) {
                case Work::Kind::Schedule:
                    what = QStringLiteral("send %1 (%2)")
                               .arg(work->list, work->choice.rule < 0
                                                    ? QStringLiteral("its own list")
                                                    : QStringLiteral("schedule rule %1")
                                                          .arg(work->choice.rule + 1));
                    break;
                case Work::Kind::Live:
                    what = QStringLiteral("send %1 (live pages changed)").arg(work->list);
                    break;
                case Work::Kind::Clock:
                    what = QStringLiteral("set the clock");
                    break;
                case Work::Kind::Face:
                    what = QStringLiteral("%1 from %2")
                               .arg(QString::fromLatin1(commandWord(out.command)).toLower(),
                                    work->command.origin.isEmpty() ? QStringLiteral("a client")
                                                                   : work->command.origin);
                    break;
            }
            QString line = QStringLiteral("%1: %2").arg(what, service.outcome);
            if (ran) {
                line += QStringLiteral(" (%1 bytes, %2 s)")
                            .arg(service.bytes)
                            .arg(double(service.ms) / 1000.0, 0, 'f', 1);
            }
            if (!service.ok) {
                line += QStringLiteral(": ") + health.reason;
            }
            if (state.retryAt.isValid() && !service.ok && !face) {
                line += QStringLiteral("; again at %1")
                            .arg(state.retryAt.toString(QStringLiteral("HH:mm:ss")));
            }
            for (const QString& note : service.notes) {
                log(name, note.section(QLatin1Char('\n'), 0, 0));
            }
            log(name, line);
        }
        if (state.removed && !state.queued && state.faceWaiting == 0) {
            m_signs.erase(found);
        } else {
            watchFiles();
            QTimer::singleShot(0, this, [this, name] { evaluate(name); });
        }
        emit healthChanged(name);
    }
    if (work->done) {
        work->done(service);
    }
    pump(key);
    checkFinished();
}

void SignService::watchFiles() {
    // The files every sign's live pages read, and their folders (a script
    // that writes a file anew replaces it, and a missing one may appear).
    QSet<QString> wanted;
    for (const auto& [name, state] : m_signs) {
        if (!state->live || state->messageShown) {
            continue;
        }
        for (const WatchedFile& file : state->watch.files) {
            wanted.insert(file.path);
            wanted.insert(QFileInfo(file.path).absolutePath());
        }
    }
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    QStringList gone;
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            gone << path;
        }
    }
    if (!gone.isEmpty()) {
        m_watcher->removePaths(gone);
    }
    QStringList added;
    for (const QString& path : wanted) {
        if (!watched.contains(path) && QFileInfo::exists(path)) {
            added << path;
        }
    }
    if (!added.isEmpty()) {
        m_watcher->addPaths(added);
    }
}

void SignService::fileChanged(const QString& path) {
    for (auto& [name, state] : m_signs) {
        if (!state->live) {
            continue;
        }
        for (const WatchedFile& file : state->watch.files) {
            if (file.path == path || QFileInfo(file.path).absolutePath() == path) {
                QTimer::singleShot(0, this, [this, name = name] { evaluate(name); });
                break;
            }
        }
    }
    // A file written anew is watched no longer: watch it again.
    if (QFileInfo::exists(path) && !m_watcher->files().contains(path) &&
        !m_watcher->directories().contains(path)) {
        m_watcher->addPath(path);
    }
}
