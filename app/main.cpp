#include "app/MainWindow.h"
#include "app/ProgramFolder.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString folder = executableFolder();
    QDir::setCurrent(folder);
    TTwpMain window(folder);
    window.showMaximized();
    return app.exec();
}
