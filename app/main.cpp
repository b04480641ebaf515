#include "app/DocumentImportDialog.h"
#include "app/MainWindow.h"
#include "app/ParameterDialog.h"
#include "app/SpreadsheetImportDialog.h"
#include "app/TextComposerDialog.h"
#include "core/ProgramFolder.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
    installFontConfig();
    QApplication app(argc, argv);
    // The main window first (its creation step reads ck.ini), then the
    // dialogs in their fixed order.
    TTwpMain window(executableFolder());
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
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1 && args[1].endsWith(QLatin1String(".lis"), Qt::CaseInsensitive)) {
        window.openListAtStart(args[1]);
    }
    return app.exec();
}
