#include "app/DocumentImportDialog.h"
#include "app/MainWindow.h"
#include "app/ParameterDialog.h"
#include "app/SpreadsheetImportDialog.h"
#include "app/TextComposerDialog.h"
#include "app/Translations.h"
#include "core/ProgramFolder.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QScreen>

#include <cstdio>

namespace {

void describe(QCommandLineParser& parser, const QCommandLineOption& folderOption) {
    QCoreApplication::setApplicationName(QStringLiteral("marquee"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MARQUEE_VERSION));
    parser.setApplicationDescription(
        QStringLiteral("Composes play lists of pictures for LED signs and sends them to the sign's "
                       "controller over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(folderOption);
    parser.addPositionalArgument(QStringLiteral("LIST.lis"), QStringLiteral("A play list to open."),
                                 QStringLiteral("[LIST.lis]"));
}

}  // namespace

int main(int argc, char* argv[]) {
    const QCommandLineOption folderOption(
        QStringLiteral("folder"),
        QStringLiteral("Keep everything in DIR: ck.ini, the chosen port, pages, lists, port "
                       "links comN (default: ~/.config/marquee and the sign folder ~/Marquee)."),
        QStringLiteral("DIR"));
    // Help and version need no display.
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "-v" ||
            argument == "--version" || argument == "--help-all") {
            QCoreApplication core(argc, argv);
            QCommandLineParser parser;
            describe(parser, folderOption);
            parser.process(core);
            return 0;
        }
    }
    installFontConfig();
    QApplication app(argc, argv);
    installTranslations(QLocale::system());
    QCommandLineParser parser;
    describe(parser, folderOption);
    parser.process(app);
    const QString folder = parser.value(folderOption);
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "marquee: %s is not a folder\n", folder.toUtf8().constData());
        return 2;
    }

    // The main window first (its creation step reads ck.ini), then the
    // dialogs in their fixed order.
    TTwpMain window(locateFolders(folder));
    TForm1 form1(&window);
    TForm2 form2(&window);
    TForm3 form3(window.settings().HEIGHT, &window);
    TForm5 form5(&window);
    window.attachDialogs(&form1, &form2, &form3, &form5);
    // Fill the screen even where no window manager maximises windows.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.setGeometry(screen->availableGeometry());
    }
    window.showMaximized();
    // A play list named on the command line (a .lis file opened from the
    // file manager) is loaded and its first page shown.
    const QStringList lists = parser.positionalArguments();
    if (!lists.isEmpty() && lists[0].endsWith(QLatin1String(".lis"), Qt::CaseInsensitive)) {
        window.openListAtStart(QFileInfo(lists[0]).absoluteFilePath());
    } else {
        window.reopenLastList();
    }
    return app.exec();
}
