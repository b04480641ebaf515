#include "cli/EmulateCommand.h"

#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "emulator/Emulator.h"
#include "transfer/SignView.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>
#include <csignal>
#include <cstdio>

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

}  // namespace

int runEmulator(const Folders& folders, const QStringList& arguments) {
    const QString& folder = folders.sign;
    Settings settings;
    const SettingsReadResult read = readSettings(folders, &settings);
    if (!read.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", read.error.toLocal8Bit().constData());
    }
    EmulatorOptions options;
    ControllerSetup& controller = options.controller;
    controller.number = settings.NUM;
    controller.width = settings.WIDTH;
    controller.height = settings.HEIGHT;
    controller.scan = settings.SCAN;
    controller.type = settings.TYPE;
    controller.colorSwap = settings.COLOR_SWAP;
    controller.rgSwap = settings.RG_SWAP;
    options.port = settings.COMM;
    options.outDir = folder;

    QStringList args = arguments;
    QString problem;
    // The value of a numeric option, within minimum..maximum.
    const auto number = [&](const QString& option, int minimum, int maximum, int* value) {
        bool ok = false;
        const int parsed = args.isEmpty() ? 0 : args.takeFirst().toInt(&ok);
        if (!ok || parsed < minimum || parsed > maximum) {
            problem = QStringLiteral("%1 needs a number from %2 to %3")
                          .arg(option)
                          .arg(minimum)
                          .arg(maximum);
            return;
        }
        *value = parsed;
    };
    // A switch that may be followed by 0 or 1, so that it can also turn off
    // what ck.ini turns on.
    const auto flag = [&](bool* value) {
        *value = true;
        if (!args.isEmpty() &&
            (args.first() == QLatin1String("0") || args.first() == QLatin1String("1"))) {
            *value = args.takeFirst() == QLatin1String("1");
        }
    };
    while (!args.isEmpty() && problem.isEmpty()) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--num")) {
            number(option, 0, 255, &controller.number);
        } else if (option == QLatin1String("--port")) {
            number(option, 1, 255, &options.port);
        } else if (option == QLatin1String("--out")) {
            if (args.isEmpty() || !QDir().mkpath(args.first())) {
                problem = QStringLiteral("--out needs a folder it can write to");
            } else {
                options.outDir = QFileInfo(args.takeFirst()).absoluteFilePath();
            }
        } else if (option == QLatin1String("--width")) {
            number(option, 8, 2048, &controller.width);
        } else if (option == QLatin1String("--height")) {
            number(option, 8, 1600, &controller.height);
        } else if (option == QLatin1String("--scan")) {
            number(option, 1, 16, &controller.scan);
        } else if (option == QLatin1String("--type")) {
            number(option, 0, kTypeCount - 1, &controller.type);
        } else if (option == QLatin1String("--color-swap")) {
            flag(&controller.colorSwap);
        } else if (option == QLatin1String("--rg-swap")) {
            flag(&controller.rgSwap);
        } else if (option == QLatin1String("--report-defaults")) {
            controller.reportDefaults = true;
        } else if (option == QLatin1String("--zoom")) {
            number(option, 1, 16, &options.zoom);
        } else if (option == QLatin1String("--animate")) {
            options.animate = true;
        } else if (option == QLatin1String("--silent")) {
            options.silent = true;
        } else if (option == QLatin1String("--wrong-reply")) {
            options.wrongReply = true;
        } else if (option == QLatin1String("--delay")) {
            number(option, 0, 600000, &options.delayMs);
        } else if (option == QLatin1String("--extra")) {
            number(option, 0, 65536, &options.extraBytes);
        } else if (option == QLatin1String("--once")) {
            options.once = true;
        } else if (option == QLatin1String("--timeout")) {
            number(option, 1, 86400, &options.idleTimeoutSec);
        } else {
            problem = QStringLiteral("unknown option %1").arg(option);
        }
    }
    const int largest = maxZoom(QSize(controller.width, controller.height));
    if (problem.isEmpty() && options.zoom > largest) {
        problem =
            QStringLiteral("--zoom %1 makes pictures too large for a %2 x %3 sign (at most %4)")
                .arg(options.zoom)
                .arg(controller.width)
                .arg(controller.height)
                .arg(largest);
    }
    if (!problem.isEmpty()) {
        return emulateUsage(problem);
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
    QString error;
    const bool started = emulator.start(folder, &error);
    const Emulator::Outcome outcome = started ? emulator.run() : Emulator::Outcome::Failed;
    for (int i = 0; i < 3; ++i) {
        sigaction(stopSignals[i], &previous[i], nullptr);
    }
    g_stopHandle = -1;
    if (!started) {
        std::fprintf(stderr, "marquee-cli: emulate: %s\n", error.toLocal8Bit().constData());
        return 3;
    }
    const bool failed = outcome == Emulator::Outcome::Failed ||
                        (outcome == Emulator::Outcome::IdleTimeout && options.once);
    return failed ? 1 : 0;
}
