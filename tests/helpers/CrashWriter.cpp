// Test helper: writes ck.ini and a play list in a tight loop, alternating
// between two versions, until it is killed. The crash-safety test kills it
// at random moments and checks that each file is always one whole version.

#include "core/SettingsFile.h"
#include "pages/PlayListFile.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    Settings a;
    Settings b;
    b.WIDTH = 2048;
    b.HEIGHT = 1600;
    b.TYPE = 26;
    PageList shortList;
    PageList longList;
    for (int i = 1; i < PageList::kMaxPages; ++i) {
        longList.addPage();
        longList.setPagePicture(QStringLiteral("/pictures/page %1 of a long list.jpg").arg(i));
    }
    const QString list = QDir(folder).filePath(QStringLiteral("show.lis"));
    for (unsigned n = 0;; ++n) {
        writeSettingsFile(folder, n % 2 ? a : b);
        savePlayList(list, n % 2 ? shortList : longList);
        if (n == 0) {
            // Tell the test the loop is running, so it kills in mid-write.
            std::fputs("writing\n", stdout);
            std::fflush(stdout);
        }
    }
}
