// How late the window's event loop runs while a big list is opened, shown,
// scrolled through and sent to the controller emulator on a pseudo-terminal:
//   build/marquee_window_probe [--size WxH] [--pages N] [--no-send] PHOTO.jpg...
// The photos are used in turn, one link to a photo per page, so that no two
// pages share a file. A timer asks to run every 10 ms; the probe prints,
// for each step, how long it took and the largest delay of that timer, and
// how long after start the overview first showed its thumbnails.

#include "app/DocumentImportDialog.h"
#include "app/MainWindow.h"
#include "app/PageOverview.h"
#include "app/ParameterDialog.h"
#include "app/SpreadsheetImportDialog.h"
#include "app/TextComposerDialog.h"
#include "core/ProgramFolder.h"
#include "emulator/Emulator.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QElapsedTimer g_clock;

// The largest lateness of a 10 ms timer since the last reset.
class LatenessMeter : public QObject {
  public:
    LatenessMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kPeriodMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = g_clock.elapsed();
            m_worst = std::max(m_worst, now - m_last - kPeriodMs);
            m_last = now;
        });
    }
    void start() {
        m_last = g_clock.elapsed();
        m_timer.start();
    }
    qint64 takeWorst() {
        // A step that blocked the loop until now has not been seen yet.
        m_worst = std::max(m_worst, g_clock.elapsed() - m_last - kPeriodMs);
        const qint64 worst = m_worst;
        m_worst = 0;
        return worst;
    }

  private:
    static constexpr int kPeriodMs = 10;
    QTimer m_timer;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

// Runs the event loop until done() holds or timeoutMs have passed.
bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    g_clock.start();
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    QSize sign(64, 16);
    int pageCount = 255;
    bool send = true;
    QStringList photos;
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("--size") && !arguments.isEmpty()) {
            const QStringList parts = arguments.takeFirst().split('x');
            sign = QSize(parts.value(0).toInt(), parts.value(1).toInt());
        } else if (argument == QLatin1String("--pages") && !arguments.isEmpty()) {
            pageCount = arguments.takeFirst().toInt();
        } else if (argument == QLatin1String("--no-send")) {
            send = false;
        } else {
            photos << QFileInfo(argument).absoluteFilePath();
        }
    }
    if (photos.isEmpty() || sign.isEmpty() || pageCount < 1) {
        std::fprintf(stderr,
                     "usage: marquee_window_probe [--size WxH] [--pages N] [--no-send] "
                     "PHOTO.jpg...\n");
        return 2;
    }

    QTemporaryDir dir;
    const QDir folder(dir.path());
    // Controller 1 on com1 at 115200 Bd, dual colour.
    QFile ini(folder.filePath("ck.ini"));
    if (!ini.open(QIODevice::WriteOnly)) {
        return 1;
    }
    ini.write(QStringLiteral("1\r\n%1\r\n%2\r\n1\r\n16\r\n0\r\n1\r\n0\r\n0\r\n4\r\n")
                  .arg(sign.width())
                  .arg(sign.height())
                  .toLatin1());
    ini.close();
    QByteArray list;
    for (int page = 1; page <= pageCount; ++page) {
        const QString name = QStringLiteral("photo%1.jpg").arg(page, 3, 10, QLatin1Char('0'));
        QFile::link(photos[(page - 1) % photos.size()], folder.filePath(name));
        list += name.toLatin1() + "\r\n1\r\n0\r\n0\r\n5\r\n2\r\n";
    }
    QFile lis(folder.filePath("big.lis"));
    if (!lis.open(QIODevice::WriteOnly)) {
        return 1;
    }
    lis.write(list);
    lis.close();

    LatenessMeter meter;
    meter.start();
    const auto report = [&](const char* step, qint64 since) {
        std::printf("%-34s %7lld ms, event loop late by at most %5lld ms\n", step,
                    static_cast<long long>(g_clock.elapsed() - since),
                    static_cast<long long>(meter.takeWorst()));
        std::fflush(stdout);
    };

    qint64 since = g_clock.elapsed();
    TTwpMain window(locateFolders(folder.path()), [](const QString& text, const QString&) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    TForm1 form1(&window);
    TForm2 form2(&window);
    TForm3 form3(window.settings().HEIGHT, &window);
    TForm5 form5(&window);
    window.attachDialogs(&form1, &form2, &form3, &form5);
    window.resize(1280, 800);
    window.show();
    auto* overview = window.findChild<QListView*>(QStringLiteral("PageOverviewList"));
    auto* model = window.findChild<PageOverviewModel*>();
    spinUntil(
        [&] {
            return (window.windowHandle() && window.windowHandle()->isExposed()) ||
                   QGuiApplication::platformName() == "offscreen";
        },
        5000);
    QCoreApplication::processEvents();
    report("window shown", since);

    since = g_clock.elapsed();
    window.openListAtStart(folder.filePath("big.lis"));
    report("list opened", since);
    QCoreApplication::processEvents();
    spinUntil([&] { return model->rowCount() == pageCount && model->thumbnailsPending() == 0; },
              60000);
    report("visible thumbnails drawn", since);
    std::printf("%-34s %7lld ms after start\n", "usable (list and thumbnails shown)",
                static_cast<long long>(g_clock.elapsed()));

    // Scrolling: a step every 20 ms from the first page to the last.
    since = g_clock.elapsed();
    QScrollBar* bar = overview->horizontalScrollBar();
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + bar->pageStep() / 2);
        const qint64 step = g_clock.elapsed();
        spinUntil([&] { return g_clock.elapsed() - step >= 20; }, 1000);
    }
    report("scrolled to the last page", since);
    spinUntil([&] { return model->thumbnailsPending() == 0; }, 60000);
    report("its thumbnails drawn", since);

    if (send) {
        const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath("marquee-cli");
        QProcess emulator;
        emulator.start(cli, QStringList{"--folder", folder.path(), "emulate", "--timeout", "600"} +
                                controllerOptionsFor(window.settings()));
        spinUntil([&] { return QFileInfo::exists(folder.filePath("com1")); }, 10000);
        // The window reads the port link now there.
        QAction* sendAction = window.findChild<QAction*>(QStringLiteral("m_Send"));
        since = g_clock.elapsed();
        sendAction->trigger();
        report("SEND started", since);
        // Scrolled back meanwhile, as an operator would look at the pages.
        while (!sendAction->isEnabled()) {
            bar->setValue(std::max(0, bar->value() - bar->pageStep() / 4));
            const qint64 step = g_clock.elapsed();
            spinUntil([&] { return g_clock.elapsed() - step >= 50; }, 1000);
        }
        report("SEND over", since);
        if (auto* status = window.findChild<QLabel*>(QStringLiteral("StatusPanel2"))) {
            std::printf("status: %s\n", qPrintable(status->text()));
        }
        emulator.terminate();
        emulator.waitForFinished(5000);
    }
    std::printf("cores: %d\n", QThread::idealThreadCount());
    return 0;
}
