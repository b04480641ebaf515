#include "cli/Commands.h"

#include "controller/ControllerCommands.h"
#include "controller/SendDriver.h"
#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "pages/PlayListFile.h"
#include "platform/AtomicFile.h"

#include <QTime>

#include <cstdio>
#include <functional>

namespace {

void writeLine(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// ck.ini as the window reads it at start-up: a bad value is reported and
// the values before it stay.
Settings loadSettings(const QString& folder) {
    Settings settings;
    const SettingsReadResult result = readSettingsFile(folder, &settings);
    if (!result.error.isEmpty()) {
        printError(result.error);
    }
    return settings;
}

bool loadList(const QString& listPath, PageList* pages) {
    const LoadListOutcome outcome = loadPlayList(listPath, pages);
    for (const QString& text : outcome.messages) {
        printError(text);
    }
    return outcome.loaded;
}

int exitStatus(const ExchangeResult& result, const QString& portPath) {
    switch (result.stage) {
        case ExchangeResult::Stage::PortError:
            printError(QStringLiteral("%1: %2").arg(portPath, result.reason));
            return kExitPortError;
        case ExchangeResult::Stage::Refused:
            return kExitBadInput;
        case ExchangeResult::Stage::Done:
            break;
    }
    return result.reply == ReplyOutcome::Matches ? kExitOk : kExitNoReply;
}

void storeSettings(const QString& folder, const Settings& settings) {
    QString reason;
    if (!writeSettingsFile(folder, settings, &reason)) {
        printError(
            QStringLiteral("%1 (%2)").arg(QString::fromLatin1(kCannotSaveParameter), reason));
    }
}

QString describe(const ControllerParameters& p) {
    return QStringLiteral(
               "num=%1 type=%2 width=%3 high=%4 clock=%5 bps=%6 scan=%7 freq=%8 light=%9 "
               "swap8=%10 datacom=%11 oecom=%12 autoswitch=%13 translate=%14 satoff=%15 "
               "sunoff=%16 on=%17:%18:%19 off=%20:%21:%22 english=%23")
        .arg(p.num)
        .arg(p.type)
        .arg(p.width)
        .arg(p.height)
        .arg(p.clock)
        .arg(p.bps)
        .arg(p.scanMode)
        .arg(p.scanFrequency)
        .arg(p.light)
        .arg(p.bitSwap8 ? 1 : 0)
        .arg(p.dataCom ? 1 : 0)
        .arg(p.oeCom ? 1 : 0)
        .arg(p.autoSwitch ? 1 : 0)
        .arg(p.translate)
        .arg(p.saturdayOff ? 1 : 0)
        .arg(p.sundayOff ? 1 : 0)
        .arg(p.onHour)
        .arg(p.onMinute, 2, 10, QLatin1Char('0'))
        .arg(p.onSecond, 2, 10, QLatin1Char('0'))
        .arg(p.offHour)
        .arg(p.offMinute, 2, 10, QLatin1Char('0'))
        .arg(p.offSecond, 2, 10, QLatin1Char('0'))
        .arg(p.english ? 1 : 0);
}

// NAME=VALUE pairs over the dialog's start values. Returns an error text.
QString applyAssignments(const QStringList& assignments, ControllerParameters* p) {
    bool lightGiven = false;
    for (const QString& assignment : assignments) {
        const qsizetype eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            return QStringLiteral("expected NAME=VALUE, got %1").arg(assignment);
        }
        const QString name = assignment.left(eq);
        const QString value = assignment.mid(eq + 1);
        if (name == QLatin1String("on") || name == QLatin1String("off")) {
            const QStringList parts = value.split(QLatin1Char(':'));
            const QTime time = QTime::fromString(
                value, parts.size() == 3 ? QStringLiteral("H:m:s") : QStringLiteral("H:m"));
            if (!time.isValid()) {
                return QStringLiteral("%1 needs a time H:MM:SS, got %2").arg(name, value);
            }
            int* fields[3] = {&p->onHour, &p->onMinute, &p->onSecond};
            if (name == QLatin1String("off")) {
                fields[0] = &p->offHour;
                fields[1] = &p->offMinute;
                fields[2] = &p->offSecond;
            }
            *fields[0] = time.hour();
            *fields[1] = time.minute();
            *fields[2] = time.second();
            continue;
        }
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        struct Field {
            const char* name;
            qint64 minimum, maximum;
            std::function<void(qint64)> set;
        };
        const Field fields[] = {
            {"num", 1, 254, [&](qint64 v) { p->num = static_cast<int>(v); }},
            {"type", 0, 26, [&](qint64 v) { p->type = static_cast<int>(v); }},
            {"width", 16, 1024, [&](qint64 v) { p->width = static_cast<int>(v); }},
            {"high", 2, 255, [&](qint64 v) { p->height = static_cast<int>(v); }},
            {"clock", 0, 0xFFFFFFFFLL, [&](qint64 v) { p->clock = v; }},
            {"bps", 0, 0xFFFFFFFFLL, [&](qint64 v) { p->bps = v; }},
            {"scan", 1, 16, [&](qint64 v) { p->scanMode = static_cast<int>(v); }},
            {"freq", 60, 500, [&](qint64 v) { p->scanFrequency = static_cast<int>(v); }},
            {"light", 0, 65535, [&](qint64 v) { p->light = static_cast<int>(v); }},
            {"swap8", 0, 1, [&](qint64 v) { p->bitSwap8 = v != 0; }},
            {"datacom", 0, 1, [&](qint64 v) { p->dataCom = v != 0; }},
            {"oecom", 0, 1, [&](qint64 v) { p->oeCom = v != 0; }},
            {"autoswitch", 0, 1, [&](qint64 v) { p->autoSwitch = v != 0; }},
            {"translate", 0, 1, [&](qint64 v) { p->translate = static_cast<int>(v); }},
            {"satoff", 0, 1, [&](qint64 v) { p->saturdayOff = v != 0; }},
            {"sunoff", 0, 1, [&](qint64 v) { p->sundayOff = v != 0; }},
            {"english", 0, 1, [&](qint64 v) { p->english = v != 0; }},
        };
        const Field* field = nullptr;
        for (const Field& f : fields) {
            if (name == QLatin1String(f.name)) {
                field = &f;
            }
        }
        if (!field) {
            return QStringLiteral("unknown parameter %1").arg(name);
        }
        if (!ok || number < field->minimum || number > field->maximum) {
            return QStringLiteral("%1 must be a number from %2 to %3, got %4")
                .arg(name)
                .arg(field->minimum)
                .arg(field->maximum)
                .arg(value);
        }
        field->set(number);
        lightGiven = lightGiven || name == QLatin1String("light");
    }
    if (!clockTexts().contains(QString::number(p->clock))) {
        return QStringLiteral("clock must be one of %1")
            .arg(clockTexts().join(QStringLiteral(", ")));
    }
    if (!parameterBpsTexts().contains(QString::number(p->bps))) {
        return QStringLiteral("bps must be one of %1")
            .arg(parameterBpsTexts().join(QStringLiteral(", ")));
    }
    if (!lightGiven) {
        p->light = lightMaximum(p->clock, p->scanMode, p->scanFrequency);
    }
    return {};
}

}  // namespace

void printError(const QString& text) {
    writeLine(stderr, text);
}

void ConsoleSurface::setStatus(int, const QString& text) {
    if (!text.isEmpty()) {
        writeLine(stdout, text);
    }
}

void ConsoleSurface::message(const QString& text, const QString&) {
    printError(text);
}

int runSettings(const QString& folder) {
    const Settings settings = loadSettings(folder);
    const auto& defs = settingDefs();
    const auto values = settingValues(settings);
    for (int i = 0; i < kSettingCount; ++i) {
        QString line = QStringLiteral("%1=%2")
                           .arg(QString::fromLatin1(defs[static_cast<size_t>(i)].label))
                           .arg(values[static_cast<size_t>(i)]);
        if (i == 8) {
            line += QStringLiteral(" (%1)").arg(typeTexts().value(settings.TYPE));
        } else if (i == 9) {
            line += QStringLiteral(" (%1)").arg(bpsTexts().value(settings.BPS));
        }
        writeLine(stdout, line);
    }
    return kExitOk;
}

int runSend(const QString& folder, const QString& listPath) {
    const Settings settings = loadSettings(folder);
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    if (typeFamily(settings.TYPE).depth == Depth::NotSent) {
        // The window does nothing here; a script is told why.
        printError(QStringLiteral("Module type %1 cannot be sent; nothing was sent.")
                       .arg(typeTexts().value(settings.TYPE)));
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    const SendResult result = sendPages(link, surface, settings, pages, folder);
    switch (result.status) {
        case SendStatus::Acknowledged:
            return kExitOk;
        case SendStatus::NoReply:
        case SendStatus::WrongReply:
            return kExitNoReply;
        case SendStatus::PortError:
            printError(QStringLiteral("%1: %2").arg(link.portPath(), result.detail));
            return kExitPortError;
        case SendStatus::BadInput:
        case SendStatus::NotSent:
            return kExitBadInput;
    }
    return kExitBadInput;
}

int runBuild(const QString& folder, const QString& listPath, const QString& outPath) {
    const Settings settings = loadSettings(folder);
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    const TransferBuild build = buildTransfer(settings, pages, folder, nullptr);
    if (!build.error.isEmpty()) {
        printError(build.error);
        return kExitBadInput;
    }
    writeLine(stdout, capacityText(build.map));
    QString error;
    if (!writeFileAtomically(outPath, build.bytes, &error)) {
        printError(QStringLiteral("Cannot write %1: %2").arg(outPath, error));
        return kExitBadInput;
    }
    writeLine(stdout,
              QStringLiteral("%1 bytes, %2 pages").arg(build.bytes.size()).arg(build.pagesSent));
    return kExitOk;
}

int runTime(const QString& folder) {
    const Settings settings = loadSettings(folder);
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(setClock(link, surface, settings, QDateTime::currentDateTime()),
                      link.portPath());
}

int runMode(const QString& folder, const QString& listPath) {
    const Settings settings = loadSettings(folder);
    PageList pages;
    if (!loadList(listPath, &pages)) {
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    return exitStatus(sendPlayModes(link, surface, settings, pages), link.portPath());
}

int runReadPara(const QString& folder) {
    const Settings settings = loadSettings(folder);
    ConsoleSurface surface;
    Link link(folder, surface);
    const ReadParaResult result = readParameters(link, surface, settings);
    const int status = exitStatus(result.exchange, link.portPath());
    if (result.apply) {
        writeLine(stdout, describe(result.parameters));
        storeSettings(folder, result.settings);
    }
    return status;
}

int runSavePara(const QString& folder, const QStringList& assignments) {
    const Settings settings = loadSettings(folder);
    ControllerParameters parameters;
    const QString error = applyAssignments(assignments, &parameters);
    if (!error.isEmpty()) {
        printError(QStringLiteral("marquee-cli: %1").arg(error));
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    const ExchangeResult result = saveParameters(link, surface, settings, parameters);
    if (result.stage != ExchangeResult::Stage::PortError) {
        storeSettings(folder, settingsAfterSave(settings, parameters));
    }
    return exitStatus(result, link.portPath());
}

int runDownload(const QString& folder, const QString& typeText) {
    bool ok = false;
    const int type = typeText.toInt(&ok);
    if (!ok || type < 0 || type >= kTypeCount) {
        printError(QStringLiteral("marquee-cli: TYPE must be a module type from 0 to 26"));
        return kExitBadInput;
    }
    const Settings settings = loadSettings(folder);
    const SetupImage setup = loadSetupImage(folder, type);
    if (!setup.error.isEmpty()) {
        printError(setup.error);
        return kExitBadInput;
    }
    ConsoleSurface surface;
    Link link(folder, surface);
    const ExchangeResult result = downloadSetup(link, surface, settings, setup.image);
    if (result.stage != ExchangeResult::Stage::PortError) {
        Settings after = settingsAfterSave(settings, defaultParameters(type));
        after.TYPE = type;
        storeSettings(folder, after);
    }
    return exitStatus(result, link.portPath());
}
