#include "cli/ImportCommands.h"

#include "cli/Commands.h"
#include "core/SettingsFile.h"
#include "import/DocumentImport.h"
#include "import/SpreadsheetImport.h"
#include "pages/PlayListFile.h"

#include <cstdio>

namespace {

struct ImportArguments {
    QString file;
    QString base;
    QString list;  // empty: no list
    QString error;
};

ImportArguments parseArguments(const QStringList& args, const QString& defaultBase) {
    ImportArguments parsed;
    parsed.base = defaultBase;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--name") || arg == QLatin1String("--list")) {
            if (i + 1 >= args.size()) {
                parsed.error = QStringLiteral("%1 needs a value").arg(arg);
                return parsed;
            }
            (arg == QLatin1String("--name") ? parsed.base : parsed.list) = args[++i];
        } else if (arg.startsWith(QLatin1String("--")) || !parsed.file.isEmpty()) {
            parsed.error = QStringLiteral("unexpected argument %1").arg(arg);
            return parsed;
        } else {
            parsed.file = arg;
        }
    }
    if (parsed.file.isEmpty()) {
        parsed.error = QStringLiteral("no file given");
    }
    return parsed;
}

void printLine(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Everything an import command does around the import itself: settings,
// the list before and after.
template <typename Import>
int runImport(const Folders& folders, const QStringList& args, const QString& defaultBase,
              Import import) {
    const ImportArguments parsed = parseArguments(args, defaultBase);
    if (!parsed.error.isEmpty()) {
        printError(QStringLiteral("marquee-cli: %1").arg(parsed.error));
        return kExitBadInput;
    }
    Settings settings;
    const SettingsReadResult read = readSettings(folders, &settings);
    if (!read.error.isEmpty()) {
        printError(read.error);
    }
    PageList pages;
    if (!parsed.list.isEmpty()) {
        const LoadListOutcome loaded = loadPlayList(parsed.list, &pages);
        for (const QString& text : loaded.messages) {
            printError(text);
        }
        if (!loaded.loaded) {
            return kExitBadInput;
        }
    }
    ImportSetup setup;
    setup.folder = folders.sign;
    setup.base = parsed.base;
    setup.screen = QSize(settings.WIDTH, settings.HEIGHT);
    ConsoleSurface surface;
    return import(parsed, setup, pages, surface);
}

int saveList(const QString& list, const PageList& pages) {
    if (list.isEmpty()) {
        return kExitOk;
    }
    const QString error = savePlayList(list, pages);
    if (!error.isEmpty()) {
        printError(error);
        return kExitBadInput;
    }
    return kExitOk;
}

// The office's own words go below the operator's message.
int failureStatus(OfficeFailure failure, const QString& reason) {
    const bool officeSaid =
        failure == OfficeFailure::NotStartable || failure == OfficeFailure::CannotOpen;
    if (officeSaid && !reason.isEmpty()) {
        printError(reason);
    }
    return failure == OfficeFailure::NotStartable ? static_cast<int>(kExitNoOffice)
                                                  : static_cast<int>(kExitBadInput);
}

}  // namespace

int runImportDocument(const Folders& folders, const QStringList& args) {
    return runImport(folders, args, QString::fromLatin1(kDocumentBase),
                     [](const ImportArguments& parsed, const ImportSetup& setup, PageList& pages,
                        ConsoleSurface& surface) {
                         const DocumentImportResult result =
                             importDocument(parsed.file, setup, &pages, surface);
                         if (!result.done) {
                             return failureStatus(result.failure, result.reason);
                         }
                         for (const QString& name : result.written) {
                             printLine(name);
                         }
                         const int saved = saveList(parsed.list, pages);
                         if (saved != kExitOk) {
                             return saved;
                         }
                         return result.blackPages.isEmpty() ? static_cast<int>(kExitOk)
                                                            : static_cast<int>(kExitSomePagesBlack);
                     });
}

int runImportSpreadsheet(const Folders& folders, const QStringList& args) {
    return runImport(folders, args, QString::fromLatin1(kSpreadsheetBase),
                     [](const ImportArguments& parsed, const ImportSetup& setup, PageList& pages,
                        ConsoleSurface& surface) {
                         const SpreadsheetImportResult result =
                             importSpreadsheet(parsed.file, setup, &pages, surface);
                         if (!result.done) {
                             return failureStatus(result.failure, result.reason);
                         }
                         printLine(result.written);
                         return saveList(parsed.list, pages);
                     });
}
