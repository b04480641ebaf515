#include "cli/ComposeCommand.h"

#include "cli/Commands.h"
#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "import/TextComposer.h"
#include "pages/PageList.h"
#include "pages/PlayListFile.h"

#include <QFileInfo>

#include <cstdio>
#include <map>

namespace {

int badUsage(const QString& text) {
    printError(QStringLiteral("marquee-cli compose: %1").arg(text));
    return kExitBadInput;
}

bool parseInt(const QString& text, int minimum, int maximum, int* value) {
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (!ok || parsed < minimum || parsed > maximum) {
        return false;
    }
    *value = parsed;
    return true;
}

bool parseFlag(const QString& text, bool* value) {
    int number = 0;
    if (!parseInt(text, 0, 1, &number)) {
        return false;
    }
    *value = number == 1;
    return true;
}

bool parseColour(const QString& text, bool allowRgb, QColor* colour) {
    const int index = colourIndex(text);
    if (index >= 0) {
        *colour = colourAt(index);
        return true;
    }
    if (allowRgb && text.size() == 7 && text.startsWith(QLatin1Char('#'))) {
        const QColor parsed = QColor::fromString(text);
        if (parsed.isValid()) {
            *colour = parsed;
            return true;
        }
    }
    return false;
}

void printLine(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

}  // namespace

int runCompose(const Folders& folders, const QStringList& args) {
    const QString& folder = folders.sign;
    Settings settings;
    const SettingsReadResult read = readSettings(folders, &settings);
    if (!read.error.isEmpty()) {
        printError(read.error);
    }
    const QString names = colourNames().join(QLatin1Char(' '));

    ComposeOptions options;
    // LINE/PAGE starts as the dialog's does: HEIGHT and the default font.
    options.linesPerPage = defaultLinesPerPage(settings.HEIGHT, options.style.font);
    QString face = defaultTextFace();
    int size = kDefaultTextPixelSize;
    bool bold = false;
    bool italic = false;
    QString textPath;
    QString listPath;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--"))) {
            if (!textPath.isEmpty()) {
                return badUsage(QStringLiteral("more than one text file given"));
            }
            textPath = arg;
            continue;
        }
        if (i + 1 >= args.size()) {
            return badUsage(QStringLiteral("%1 needs a value").arg(arg));
        }
        const QString value = args[++i];
        bool ok = true;
        if (arg == QLatin1String("--layout")) {
            ok = value == QLatin1String("one") || value == QLatin1String("many");
            options.layout =
                value == QLatin1String("many") ? TextLayout::ManyLine : TextLayout::OneLine;
        } else if (arg == QLatin1String("--continue")) {
            ok = parseFlag(value, &options.continuous);
        } else if (arg == QLatin1String("--lines")) {
            ok = parseInt(value, kMinLinesPerPage, kMaxLinesPerPage, &options.linesPerPage);
        } else if (arg == QLatin1String("--center")) {
            ok = parseFlag(value, &options.center);
        } else if (arg == QLatin1String("--wordwrap")) {
            ok = parseFlag(value, &options.wordWrap);
        } else if (arg == QLatin1String("--font")) {
            ok = !value.isEmpty();
            face = value;
        } else if (arg == QLatin1String("--size")) {
            ok = parseInt(value, 1, 1600, &size);
        } else if (arg == QLatin1String("--bold")) {
            ok = parseFlag(value, &bold);
        } else if (arg == QLatin1String("--italic")) {
            ok = parseFlag(value, &italic);
        } else if (arg == QLatin1String("--color")) {
            ok = parseColour(value, true, &options.style.text);
        } else if (arg == QLatin1String("--shadow")) {
            ok = parseColour(value, false, &options.style.shadow);
        } else if (arg == QLatin1String("--background")) {
            ok = parseColour(value, false, &options.style.background);
        } else if (arg == QLatin1String("--name")) {
            options.base = value;
        } else if (arg == QLatin1String("--list")) {
            listPath = value;
        } else {
            return badUsage(QStringLiteral("unknown option %1").arg(arg));
        }
        if (!ok) {
            return badUsage(
                QStringLiteral("bad value for %1: %2 (colours: %3)").arg(arg, value, names));
        }
    }
    if (textPath.isEmpty()) {
        return badUsage(QStringLiteral("no text file given"));
    }
    QFont font(face);
    font.setPixelSize(size);
    font.setBold(bold);
    font.setItalic(italic);
    options.style.font = composerFont(font);

    const TextFileLoad text = readTextFile(textPath);
    if (!text.error.isEmpty()) {
        printError(text.error);
        return kExitBadInput;
    }
    PageList pages;
    if (!listPath.isEmpty() && QFileInfo::exists(listPath)) {
        const LoadListOutcome loaded = loadPlayList(listPath, &pages);
        for (const QString& message : loaded.messages) {
            printError(message);
        }
        if (!loaded.loaded) {
            return kExitBadInput;
        }
    }
    options.taken = pages.filesInUse(folder);
    const ComposeResult result = composeTextPages(text.text, QSize(settings.WIDTH, settings.HEIGHT),
                                                  options, folder, generatedPageRoom(pages));
    for (const QString& file : result.files) {
        printLine(file);
    }
    std::fflush(stdout);
    if (!result.error.isEmpty()) {
        printError(result.error);
        return kExitBadInput;
    }
    if (result.pages == 0) {
        printError(QStringLiteral("%1 has no text: no page was written.").arg(textPath));
        return kExitBadInput;
    }
    if (!listPath.isEmpty()) {
        const PlaceResult placed = pages.placeGeneratedPages(options.base, result.pages,
                                                             CaptionStyle::Number, result.first);
        if (!placed.message.isEmpty()) {
            printError(placed.message);
        }
        const QString error = savePlayList(listPath, pages);
        if (!error.isEmpty()) {
            printError(error);
            return kExitBadInput;
        }
    }
    return kExitOk;
}
