#include "app/CommandRunner.h"

#include "app/ServiceLink.h"

#include "core/TransferLog.h"

#include <QDateTime>
#include <QEventLoop>
#include <QThread>

#include <memory>

namespace {

// The surface a command sees on its thread: every report is queued to the
// window's surface, in the order made; a repaint is not needed there. The
// queued calls hold the window's surface, not this one, which is gone when
// the command has ended.
class QueuedSurface : public OperatorSurface {
  public:
    QueuedSurface(QObject* receiver, OperatorSurface& target, const std::atomic<bool>& cancel)
        : m_receiver(receiver), m_target(target), m_cancel(cancel) {}

    void setStatus(int panel, const QString& text) override {
        post([t = &m_target, panel, text] { t->setStatus(panel, text); });
    }
    void message(const QString& text, const QString& caption) override {
        post([t = &m_target, text, caption] { t->message(text, caption); });
    }
    void preparingPage(int page, const QImage& image) override {
        post([t = &m_target, page, image] { t->preparingPage(page, image); });
    }
    void progress(int value, int maximum) override {
        post([t = &m_target, value, maximum] { t->progress(value, maximum); });
    }
    void lineProgress(qint64 sent, qint64 total, qint64 msLeft) override {
        post([t = &m_target, sent, total, msLeft] { t->lineProgress(sent, total, msLeft); });
    }
    void awaitingReply(int timeoutMs) override {
        post([t = &m_target, timeoutMs] { t->awaitingReply(timeoutMs); });
    }
    void note(const QString& text) override {
        post([t = &m_target, text] { t->note(text); });
    }
    bool cancelRequested() const override { return m_cancel; }

  private:
    void post(std::function<void()> call) {
        QMetaObject::invokeMethod(m_receiver, std::move(call), Qt::QueuedConnection);
    }

    QObject* m_receiver;
    OperatorSurface& m_target;
    const std::atomic<bool>& m_cancel;
};

}  // namespace

CommandRunner::CommandRunner(const QString& folder, OperatorSurface& target, const QString& logPath,
                             QObject* parent)
    : QObject(parent), m_folder(folder), m_target(target), m_logPath(logPath) {}

CommandRunner::~CommandRunner() {
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

bool CommandRunner::run(const QString& name, const Settings& settings, Job job, Done done) {
    if (m_thread) {
        return false;
    }
    m_cancel = false;
    const QDateTime start = QDateTime::currentDateTime();
    const QString holdSign = m_holdSign ? m_holdSign() : QString();
    m_thread = QThread::create(
        [this, name, settings, start, holdSign, job = std::move(job), done = std::move(done)] {
            QueuedSurface surface(this, m_target, m_cancel);
            Link link(m_folder, surface);
            ServicePortHold hold;
            ExchangeResult result;
            if (hold.take(m_settingsFolder, holdSign, surface, m_cancel)) {
                result = job(link, surface);
            } else {
                result.stage = ExchangeResult::Stage::Cancelled;
                result.outcome = QStringLiteral("cancelled");
            }
            if (result.port.isEmpty()) {
                result.port = link.portPath();
            }
            // Queued after every report of the command, so it runs last.
            QMetaObject::invokeMethod(
                this,
                [this, name, settings, start, result, done] {
                    m_thread->wait();
                    delete m_thread;
                    m_thread = nullptr;
                    CommandRecord record{start,        name,      settings.NUM,  result.port,
                                         result.bytes, result.ms, result.outcome};
                    if (done) {
                        done(result);
                    }
                    const QString line = transferLogLine(record);
                    QString error;
                    if (!m_logPath.isEmpty() && !appendTransferLog(m_logPath, line, &error)) {
                        emit logged(error);
                    }
                    emit logged(line);
                    emit busyChanged(false);
                },
                Qt::QueuedConnection);
        });
    emit busyChanged(true);
    m_thread->start();
    return true;
}

void CommandRunner::waitIdle() {
    if (!m_thread) {
        return;
    }
    QEventLoop loop;
    connect(this, &CommandRunner::busyChanged, &loop, [&loop](bool busy) {
        if (!busy) {
            loop.quit();
        }
    });
    loop.exec();
}
