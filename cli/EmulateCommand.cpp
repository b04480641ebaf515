#include "cli/EmulateCommand.h"

#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "emulator/Emulator.h"
#include "emulator/VirtualSign.h"
#include "platform/AtomicFile.h"
#include "transfer/SignView.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

namespace {

int g_stopHandle = -1;

void stopOnSignal(int) {
    const char byte = 1;
    if (g_stopHandle >= 0 && ::write(g_stopHandle, &byte, 1) < 0) {
        // Nothing to do in a signal handler.
    }
}

int emulateUsage(const QString& text) {
    std::fprintf(stderr, "marquee-cli: emulate: %s\n", text.toLocal8Bit().constData());
    return 2;
}

using Change = std::function<void(ControllerParameters&)>;

// The options of marquee-cli emulate, read left to right.
class OptionReader {
  public:
    OptionReader(const QStringList& args, EmulatorOptions* options)
        : args_(args), options_(options) {}

    // Empty when every option was taken; else what is wrong.
    QString read();
    // What the options change in the parameter block, in their order.
    std::vector<Change> changes;
    QStringList assignments;  // NAME=VALUE, as save-para takes them
    bool window = false;      // --window: the virtual sign on the screen

  private:
    // The value of a numeric option, within minimum..maximum.
    bool number(const QString& option, qint64 minimum, qint64 maximum, qint64* value);
    template <typename T>
    bool number(const QString& option, qint64 minimum, qint64 maximum, T* value) {
        qint64 parsed = 0;
        const bool ok = number(option, minimum, maximum, &parsed);
        *value = static_cast<T>(parsed);
        return ok;
    }
    // A parameter set by an option.
    void parameter(const QString& option, qint64 minimum, qint64 maximum,
                   qint64 ControllerParameters::*member);
    // A switch that may be followed by 0 or 1.
    bool flag() {
        if (!args_.isEmpty() &&
            (args_.first() == QLatin1String("0") || args_.first() == QLatin1String("1"))) {
            return args_.takeFirst() == QLatin1String("1");
        }
        return true;
    }

    QStringList args_;
    EmulatorOptions* options_;
    QString problem_;
};

bool OptionReader::number(const QString& option, qint64 minimum, qint64 maximum, qint64* value) {
    bool ok = false;
    *value = args_.isEmpty() ? 0 : args_.takeFirst().toLongLong(&ok);
    if (!ok || *value < minimum || *value > maximum) {
        problem_ =
            QStringLiteral("%1 needs a number from %2 to %3").arg(option).arg(minimum).arg(maximum);
        return false;
    }
    return true;
}

void OptionReader::parameter(const QString& option, qint64 minimum, qint64 maximum,
                             qint64 ControllerParameters::*member) {
    qint64 value = 0;
    if (number(option, minimum, maximum, &value)) {
        changes.push_back([member, value](ControllerParameters& p) {
            p.*member = value;
            p.light = lightMaximum(p.clock, p.scanMode, p.scanFrequency);
        });
    }
}

QString OptionReader::read() {
    using P = ControllerParameters;
    EmulatorOptions& o = *options_;
    const std::pair<const char*, bool*> switches[] = {
        {"--report-defaults", &o.controller.reportDefaults},
        {"--strict", &o.controller.strict},
        {"--animate", &o.animate},
        {"--silent", &o.silent},
        {"--wrong-reply", &o.wrongReply},
        {"--once", &o.once},
    };
    const std::tuple<const char*, int, int, int*> numbers[] = {
        {"--port", 1, 255, &o.port},          {"--processing", 0, 60000, &o.processingMs},
        {"--delay", 0, 600000, &o.delayMs},   {"--extra", 0, 65536, &o.extraBytes},
        {"--noise", 0, 65536, &o.noiseBytes}, {"--timeout", 1, 86400, &o.idleTimeoutSec},
        {"--zoom", 1, 16, &o.zoom},
    };
    while (!args_.isEmpty() && problem_.isEmpty()) {
        const QString option = args_.takeFirst();
        const auto is = [&](const char* name) { return option == QLatin1String(name); };
        const auto isSwitch = std::find_if(std::begin(switches), std::end(switches),
                                           [&](const auto& entry) { return is(entry.first); });
        const auto isNumber =
            std::find_if(std::begin(numbers), std::end(numbers),
                         [&](const auto& entry) { return is(std::get<0>(entry)); });
        if (isSwitch != std::end(switches)) {
            *isSwitch->second = true;
        } else if (isNumber != std::end(numbers)) {
            const auto& [name, minimum, maximum, value] = *isNumber;
            number(option, minimum, maximum, value);
        } else if (option.contains(QLatin1Char('=')) && !option.startsWith(QLatin1Char('-'))) {
            assignments << option;
        } else if (is("--num")) {
            parameter(option, 0, 255, &P::num);
        } else if (is("--type")) {
            parameter(option, 0, kTypeCount - 1, &P::type);
        } else if (is("--width")) {
            parameter(option, 8, 2048, &P::width);
        } else if (is("--height")) {
            parameter(option, 8, 255, &P::height);
        } else if (is("--scan")) {
            parameter(option, 1, 16, &P::scanMode);
        } else if (is("--bps")) {
            if (!parameterBpsTexts().contains(args_.value(0))) {
                problem_ = QStringLiteral("--bps needs one of %1")
                               .arg(parameterBpsTexts().join(QStringLiteral(", ")));
            } else {
                parameter(option, 0, 115200, &P::bps);
            }
        } else if (is("--datacom") || is("--swap8")) {
            const qint64 on = flag() ? 1 : 0;
            const auto member = is("--datacom") ? &P::dataCom : &P::bitSwap8;
            changes.push_back([member, on](P& p) { p.*member = on; });
        } else if (is("--rg-swap")) {
            o.controller.rgSwap = flag();
        } else if (is("--also-num")) {
            int also = 0;
            if (number(option, 0, 255, &also)) {
                o.alsoNumbers.push_back(also);
            }
        } else if (is("--window")) {
            window = true;
        } else if (is("--no-pace")) {
            o.pace = false;
        } else if (is("--out")) {
            if (args_.isEmpty() || !QDir().mkpath(args_.first())) {
                problem_ = QStringLiteral("--out needs a folder it can write to");
            } else {
                o.outDir = QFileInfo(args_.takeFirst()).absoluteFilePath();
            }
        } else if (is("--forget-after")) {
            qint64 count = 0;
            if (number(option, 0, 1000000, &count)) {
                o.controller.forgetAfter = static_cast<int>(count);
            }
        } else if (is("--record")) {
            if (args_.isEmpty()) {
                problem_ = QStringLiteral("--record needs a file");
            } else {
                o.recordFile = QFileInfo(args_.takeFirst()).absoluteFilePath();
            }
        } else if (is("--hang-up-after") || is("--stop-reading-after")) {
            qint64 count = 0;
            if (number(option, 0, 1LL << 40, &count)) {
                (is("--hang-up-after") ? o.hangUpAfter : o.stopReadingAfter) = count;
            }
        } else {
            problem_ = QStringLiteral("unknown option %1").arg(option);
        }
    }
    return problem_;
}

// The parameter block the controller starts with: the defaults of T0, then
// what it kept from its last save, then the options.
QString startingParameters(const QString& stateFile, const OptionReader& reader,
                           ControllerParameters* parameters) {
    *parameters = defaultParameters(0);
    if (QFileInfo::exists(stateFile)) {
        QByteArray kept;
        QString error;
        if (!readWholeFile(stateFile, 4096, &kept, &error)) {
            return error;
        }
        error =
            assignParameters(QString::fromUtf8(kept).split(
                                 QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts),
                             parameters);
        if (!error.isEmpty()) {
            return QStringLiteral("%1: %2").arg(stateFile, error);
        }
    }
    for (const Change& change : reader.changes) {
        change(*parameters);
    }
    if (!reader.assignments.isEmpty()) {
        return assignParameters(reader.assignments, parameters);
    }
    return {};
}

}  // namespace

int runEmulator(const Folders& folders, const QStringList& arguments) {
    // Only the port comes from ck.ini: where the program looks for it.
    const QString& folder = folders.sign;
    Settings settings;
    readSettings(folders, &settings);
    EmulatorOptions options;
    options.port = settings.COMM;
    options.outDir = folder;
    OptionReader reader(arguments, &options);
    const QString problem = reader.read();
    if (!problem.isEmpty()) {
        return emulateUsage(problem);
    }
    options.stateFile = QDir(folder).filePath(QStringLiteral("emulator%1.para").arg(options.port));
    const QString error =
        startingParameters(options.stateFile, reader, &options.controller.parameters);
    if (!error.isEmpty()) {
        return emulateUsage(error);
    }
    const ControllerParameters& p = options.controller.parameters;
    const int largest = maxZoom(QSize(static_cast<int>(p.width), static_cast<int>(p.height)));
    if (options.zoom > largest) {
        return emulateUsage(
            QStringLiteral("--zoom %1 makes pictures too large for a %2 x %3 sign (at most %4)")
                .arg(options.zoom)
                .arg(p.width)
                .arg(p.height)
                .arg(largest));
    }

    // The virtual sign is there before the emulator starts, to show the
    // dark sign it starts with.
    std::unique_ptr<VirtualSignWindow> window;
    if (reader.window) {
        window = std::make_unique<VirtualSignWindow>(
            QDir(folder).filePath(QStringLiteral("com%1").arg(options.port)));
        options.show = [view = window.get()](const SignPlay& play) { view->showPlay(play); };
    }
    // The handlers are in place before the link appears, so that a stop
    // right after start still removes it.
    Emulator emulator(options);
    g_stopHandle = emulator.wakeHandle();
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction previous[3];
    const int stopSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i) {
        sigaction(stopSignals[i], &action, &previous[i]);
    }
    QString startError;
    const bool started = emulator.start(folder, &startError);
    Emulator::Outcome outcome = Emulator::Outcome::Failed;
    if (started && window) {
        // The controller answers on its own thread; closing the window stops
        // it, and so does its ending by itself.
        window->show();
        std::thread controller([&] {
            outcome = emulator.run();
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        });
        QGuiApplication::exec();
        emulator.stop();
        controller.join();
    } else if (started) {
        outcome = emulator.run();
    }
    for (int i = 0; i < 3; ++i) {
        sigaction(stopSignals[i], &previous[i], nullptr);
    }
    g_stopHandle = -1;
    if (!started) {
        std::fprintf(stderr, "marquee-cli: emulate: %s\n", startError.toLocal8Bit().constData());
        return 3;
    }
    const bool failed = outcome == Emulator::Outcome::Failed ||
                        (outcome == Emulator::Outcome::IdleTimeout && options.once);
    return failed ? 1 : 0;
}
