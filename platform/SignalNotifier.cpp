#include "platform/SignalNotifier.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <csignal>

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signal) {
    const char byte = char(signal);
    const ssize_t written = ::write(g_pipe[1], &byte, 1);
    (void)written;
}

}  // namespace

SignalNotifier::SignalNotifier(QObject* parent) : QObject(parent) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1) {
            if (byte == SIGHUP) {
                emit hangUp();
            } else {
                emit terminate();
            }
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
}

SignalNotifier::~SignalNotifier() {
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        std::signal(signal, SIG_DFL);
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}
