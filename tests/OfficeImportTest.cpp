// Document and spreadsheet import through the real LibreOffice, on the
// documents in tests/data/office: converted by LibreOffice to ".doc" and
// ".xls" as the tests run, and the ".docx", ".xlsx" and ".ods" LibreOffice
// made of the same documents, kept beside them.

#include "core/SettingsFile.h"
#include "import/DocumentImport.h"
#include "import/SpreadsheetImport.h"
#include "pages/PlayListFile.h"
#include "tests/ProgramSupport.h"

#include <QPainter>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <signal.h>

namespace {

// tests/data/office/name converted to format, once per run with one
// LibreOffice profile. LibreOffice is part of the setup: without it this fails.
QString converted(const char* name, const char* format) {
    static QTemporaryDir dir;
    const QString target = dir.filePath(QFileInfo(name).completeBaseName() + '.' + format);
    if (QFileInfo::exists(target)) {
        return target;
    }
    const QString office = QStandardPaths::findExecutable("soffice");
    EXPECT_FALSE(office.isEmpty()) << "LibreOffice (soffice) is not installed";
    QProcess process;
    process.start(
        office, {"-env:UserInstallation=" +
                     QString::fromLatin1(QUrl::fromLocalFile(dir.filePath("profile")).toEncoded()),
                 "--headless", "--convert-to", format, "--outdir", dir.path(),
                 dataPath((QByteArray("office/") + name).constData())});
    process.waitForFinished(120000);
    EXPECT_TRUE(QFileInfo::exists(target))
        << "LibreOffice made no " << format << ": " << process.readAllStandardError().toStdString();
    return QFileInfo::exists(target) ? target : QString();
}

// An environment variable set for the life of the object.
struct Environment {
    Environment(const char* name, const QByteArray& value) : name(name), old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~Environment() { old.isNull() ? qunsetenv(name) : qputenv(name, old); }
    const char* name;
    const QByteArray old;
};

struct RecordingSurface : OperatorSurface {
    QStringList messages;
    QStringList steps;
    void setStatus(int panel, const QString& text) override {
        if (panel == 1 && !text.isEmpty()) {
            steps << text;
        }
    }
    void message(const QString& text, const QString&) override { messages << text; }
};

QStringList entries(const QString& folder, const QString& pattern = "*") {
    return QDir(folder).entryList({pattern}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

// The private working folders of imports left in folder.
QStringList workingFolders(const QString& folder) {
    return entries(folder, "marquee-import-*");
}

constexpr QRgb kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kBlack = 0xff000000,
               kWhite = 0xffffffff;
using Colours = std::set<QRgb>;

TEST(OfficeImport, ScreensFromPicturesAndTheContentBox) {
    // A picture whose outermost row and column are blue, inside green.
    QImage framed = filled({4, 3}, QColor(kBlue));
    QPainter(&framed).fillRect(1, 1, 3, 2, QColor(kGreen));
    // A document's page goes at (0, 0), cut, not scaled, black beyond; a
    // spreadsheet's loses its outer row and column and has white beyond.
    const QImage small = documentScreen(filled({3, 2}, QColor(kRed)), QSize(5, 4));
    EXPECT_EQ(coloursIn(small, QRect(0, 0, 3, 2)), Colours{kRed});
    EXPECT_EQ(coloursIn(small, QRect(3, 0, 2, 4)), Colours{kBlack});
    EXPECT_EQ(coloursIn(small, QRect(0, 2, 5, 2)), Colours{kBlack});
    const QImage cut = documentScreen(framed, QSize(2, 2));
    EXPECT_EQ(cut.size(), QSize(2, 2));
    EXPECT_EQ(cut.pixel(1, 1), kGreen);
    EXPECT_EQ(coloursIn(cut), (Colours{kBlue, kGreen}));
    const QImage sheet = spreadsheetScreen(framed, QSize(6, 5));
    EXPECT_EQ(coloursIn(sheet, QRect(0, 0, 3, 2)), Colours{kGreen});
    EXPECT_EQ(coloursIn(sheet, QRect(3, 0, 3, 5)), Colours{kWhite});
    EXPECT_EQ(coloursIn(sheet, QRect(0, 2, 6, 3)), Colours{kWhite});
    EXPECT_EQ(coloursIn(documentScreen(QImage(), QSize(3, 3))), Colours{kBlack});
    EXPECT_EQ(coloursIn(spreadsheetScreen(QImage(), QSize(3, 3))), Colours{kWhite});

    QImage page = filled({20, 30}, QColor(kWhite));
    page.setPixel(5, 7, kBlack);
    page.setPixel(9, 3, 0xff808080);
    page.setPixel(1, 1, 0xfffafafa);  // too faint to count
    QImage dark = filled({10, 10}, QColor(kBlack));
    dark.setPixel(4, 6, kWhite);
    EXPECT_EQ(contentBox(page), QRect(QPoint(5, 3), QPoint(9, 7)));  // ink on white paper
    EXPECT_EQ(contentBox(dark), QRect(4, 6, 1, 1));                  // white ink on black
    EXPECT_EQ(contentBox(filled({8, 8}, QColor(kWhite))), QRect());  // nothing on the page
}

TEST(DocumentImport, PagesDeclinedAfterTheLookLeaveFolderAndListAlone) {
    for (const QString& document :
         {dataPath("office/three-pages.docx"), dataPath("office/sheet.ods")}) {
        SCOPED_TRACE(document.toStdString());
        QTemporaryDir folder;
        QTemporaryDir temp;
        const Environment tmp("TMPDIR", QFile::encodeName(temp.path()));
        Program program(folder.path());
        program.window.setSettings(screenOf(128, 64));
        program.addPages(1);
        const PlayList before = program.window.pages().items();
        program.placeImported = false;
        if (document.endsWith(".docx")) {
            program.loadAndChange(program.form1, document);
        } else {
            program.loadAndChange(program.form2, document);
        }
        EXPECT_EQ(program.offered, QList<int>{document.endsWith(".docx") ? 3 : 1});
        EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();
        EXPECT_EQ(program.window.pages().items(), before);
        EXPECT_EQ(entries(folder.path()), QStringList());
    }
}

TEST(DocumentImport, ThreePagesIntoTwoPageList) {
    for (const QString& document :
         {converted("three-pages.fodt", "doc"), dataPath("office/three-pages.docx")}) {
        SCOPED_TRACE(document.toStdString());
        ASSERT_FALSE(document.isEmpty());
        QTemporaryDir folder;
        QTemporaryDir temp;
        const Environment tmp("TMPDIR", QFile::encodeName(temp.path()));

        Program program(folder.path());
        program.window.setSettings(screenOf(128, 64));
        program.addPages(1);
        EXPECT_EQ(control<QLineEdit>(program.form1, "Edit1")->text(), "LC");
        program.loadAndChange(program.form1, document);

        EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();
        EXPECT_FALSE(program.form1.isVisible());
        EXPECT_EQ(program.form1.lastResult().pageCount, 3);
        // Each page was in the dialog's sign view before it went into the list.
        EXPECT_EQ(program.form1.pagesShown(), (QList<int>{1, 2, 3}));
        EXPECT_EQ(program.offered, QList<int>{3});
        const PageList& pages = program.window.pages();
        ASSERT_EQ(pages.PageCount(), 4);
        const QStringList files = {"", "LC1.bmp", "LC2.bmp", "LC3.bmp"};
        for (int i = 1; i <= 4; ++i) {
            EXPECT_EQ(pages.item(i).FileName, files[i - 1]);
        }
        EXPECT_EQ(program.tabs(), (QStringList{"1", " 2", "第 3幕", "第 4幕"}));
        EXPECT_EQ(pages.currentTab(), 3);
        EXPECT_EQ(control<QTabBar>(program.window, "Tab")->currentIndex(), 3);
        // Only the pictures are left; the working folder is gone.
        EXPECT_EQ(entries(folder.path()), files.mid(1));
        EXPECT_EQ(workingFolders(temp.path()), QStringList());

        // Page 1 is 192 x 96 pixels of squares: cut at the screen, not scaled,
        // and starting at the content, not at the paper's margin.
        const QImage first = QImage(folder.filePath("LC1.bmp"));
        ASSERT_EQ(first.size(), QSize(128, 64));
        EXPECT_EQ(coloursIn(first, QRect(0, 0, 95, 64)), Colours{kRed});
        EXPECT_EQ(coloursIn(first, QRect(97, 0, 31, 64)), Colours{kGreen});
        // Page 2's square is narrower than the screen: black beyond it.
        const QImage second = QImage(folder.filePath("LC2.bmp"));
        EXPECT_EQ(coloursIn(second, QRect(0, 0, 95, 64)), Colours{kGreen});
        EXPECT_EQ(coloursIn(second, QRect(98, 0, 30, 64)), Colours{kBlack});
        EXPECT_EQ(coloursIn(QImage(folder.filePath("LC3.bmp")), QRect(0, 0, 95, 64)),
                  Colours{kBlue});
        // Page 4 is shown; in picture mode, as blue lights no LED.
        program.window.findChild<QAbstractButton*>("PictureMode")->click();
        EXPECT_EQ(program.window.previewShown().pixel(2, 2), kBlue);

        // Again, from the command line into a saved two-page list, on a smaller
        // screen: the same files are overwritten.
        PageList twoPages;
        twoPages.addPage();
        const QString list = folder.filePath("two.lis");
        ASSERT_EQ(savePlayList(list, twoPages), QString());
        ASSERT_TRUE(writeSettingsFile(folder.path(), screenOf(32, 16)));
        const CliRun run =
            runCli({"--folder", folder.path(), "import-doc", document, "--list", list});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.outLines().endsWith("LC3.bmp")) << run.out.toStdString();
        const PlayListParse saved = parsePlayList(readBytes(list));
        ASSERT_EQ(saved.pages.size(), 4u);
        EXPECT_EQ(saved.pages[1].FileName, "LC1.bmp");
        EXPECT_EQ(saved.pages[3].FileName, "LC3.bmp");
        const QImage again = QImage(folder.filePath("LC1.bmp"));
        EXPECT_EQ(again.size(), QSize(32, 16));
        EXPECT_EQ(coloursIn(again), Colours{kRed});
        EXPECT_EQ(workingFolders(temp.path()), QStringList());
    }
}

ImportSetup setupIn(const QString& folder, const QString& workParent, const QString& base) {
    ImportSetup setup;
    setup.folder = folder;
    setup.base = base;
    setup.screen = QSize(64, 16);
    setup.workParent = workParent;
    return setup;
}

TEST(DocumentImport, PageThatCannotBeTakenIsWrittenBlack) {
    QTemporaryDir folder;
    QTemporaryDir work;
    const QString document = dataPath("office/huge-page.fodt");
    PageList pages;
    RecordingSurface surface;
    const DocumentImportResult result =
        importDocument(document, setupIn(folder.path(), work.path(), "LC"), &pages, surface);
    EXPECT_TRUE(result.done) << result.reason.toStdString();
    EXPECT_EQ(result.blackPages, QList<int>{1});
    EXPECT_EQ(surface.messages,
              QStringList{QStringLiteral("Page 1 of %1 could not be taken as a picture and was "
                                         "written black.")
                              .arg(document)});
    EXPECT_EQ(pages.item(1).FileName, "LC1.bmp");
    EXPECT_EQ(coloursIn(QImage(folder.filePath("LC1.bmp"))), Colours{kBlack});
    EXPECT_FALSE(surface.steps.isEmpty());
}

TEST(SpreadsheetImport, RangeIntoLastPage) {
    for (const QString& workbook : {converted("sheet.fods", "xls"), dataPath("office/sheet.xlsx"),
                                    dataPath("office/sheet.ods")}) {
        SCOPED_TRACE(workbook.toStdString());
        ASSERT_FALSE(workbook.isEmpty());
        QTemporaryDir folder;
        QTemporaryDir temp;
        const Environment tmp("TMPDIR", QFile::encodeName(temp.path()));

        Program program(folder.path());
        program.window.setSettings(screenOf(1200, 600));
        program.addPages(2);
        emit control<QTabBar>(program.window, "Tab")->tabBarClicked(0);
        const PlayList before = program.window.pages().items();
        program.loadAndChange(program.form2, workbook);

        EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();
        EXPECT_FALSE(program.form2.isVisible());
        EXPECT_EQ(program.form2.pagesShown(), QList<int>{1});
        EXPECT_EQ(program.offered, QList<int>{1});
        const PageList& pages = program.window.pages();
        EXPECT_EQ(pages.PageCount(), 3);
        EXPECT_EQ(pages.item(3).FileName, "LCXLS1.bmp");
        EXPECT_EQ(pages.item(1), before[1]);
        EXPECT_EQ(pages.item(2), before[2]);
        EXPECT_EQ(program.tabs(), (QStringList{"1", " 2", " 3"}));
        EXPECT_EQ(pages.currentTab(), 0);
        EXPECT_EQ(entries(folder.path()), QStringList{"LCXLS1.bmp"});
        EXPECT_EQ(workingFolders(temp.path()), QStringList());

        // About 940 x 460 pixels of green from the top-left corner, blue T20 at
        // its lower right, white to the right and below; column U and row 21
        // never appear.
        const QImage page = QImage(folder.filePath("LCXLS1.bmp"));
        ASSERT_EQ(page.size(), QSize(1200, 600));
        EXPECT_EQ(coloursIn(page), (Colours{kGreen, kBlue, kWhite}));
        EXPECT_EQ(coloursIn(page, QRect(0, 0, 800, 400)), Colours{kGreen});
        EXPECT_EQ(coloursIn(page, QRect(900, 440, 30, 15)), Colours{kBlue});
        EXPECT_EQ(coloursIn(page, QRect(1000, 0, 200, 600)), Colours{kWhite});
        EXPECT_EQ(coloursIn(page, QRect(0, 520, 1200, 80)), Colours{kWhite});

        // Again from the command line into a saved three-page list, on another
        // screen: the same file is overwritten, the list keeps its three pages.
        PageList threePages;
        threePages.addPage();
        threePages.addPage();
        const QString list = folder.filePath("three.lis");
        ASSERT_EQ(savePlayList(list, threePages), QString());
        ASSERT_TRUE(writeSettingsFile(folder.path(), screenOf(64, 32)));
        const CliRun run =
            runCli({"--folder", folder.path(), "import-xls", workbook, "--list", list});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const PlayListParse saved = parsePlayList(readBytes(list));
        ASSERT_EQ(saved.pages.size(), 3u);
        EXPECT_EQ(saved.pages[2].FileName, "LCXLS1.bmp");
        EXPECT_EQ(saved.pages[0].FileName, QString());
        const QImage again = QImage(folder.filePath("LCXLS1.bmp"));
        EXPECT_EQ(again.size(), QSize(64, 32));
        EXPECT_EQ(coloursIn(again), Colours{kGreen});
    }
}

// Whether pid ends within two seconds (a SIGKILL takes effect a little
// after it is sent), or is left unreaped by whoever inherited it.
bool processGone(qint64 pid) {
    for (int i = 0; i < 100; ++i) {
        if (::kill(static_cast<pid_t>(pid), 0) != 0 ||
            readBytes(QStringLiteral("/proc/%1/stat").arg(pid)).contains(") Z ")) {
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

TEST(OfficeImport, FailuresWriteNothingAndKeepTheList) {
    QTemporaryDir work;
    const QDir dir(work.path());
    // A folder without LibreOffice, and folders where "soffice" hangs or fails.
    const QString sleeperPid = dir.filePath("sleeper.pid");
    const std::pair<const char*, QByteArray> scripts[] = {
        {"no-office", ""},
        {"hangs", "/bin/sleep 60 &\necho $! > '" + QFile::encodeName(sleeperPid) + "'\nwait\n"},
        {"fails", "exit 1\n"}};
    for (const auto& [folder, text] : scripts) {
        ASSERT_TRUE(dir.mkpath(folder));
        const QString soffice = dir.filePath(folder) + "/soffice";
        if (!text.isEmpty()) {
            ASSERT_TRUE(writeBytes(soffice, "#!/bin/sh\n" + text));
            QFile::setPermissions(soffice, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
    }
    // A ".doc" that LibreOffice cannot load, and a ".xls" it reads only as text.
    ASSERT_TRUE(
        writeBytes(dir.filePath("bad.doc"), hexBytes("d0cf11e0a1b11ae1") + QByteArray(2000, 0)));
    ASSERT_TRUE(writeBytes(dir.filePath("bad.xls"), "this is not a workbook\n"));
    using F = OfficeFailure;
    const QString noOffice = officeMissingMessage();
    const QString noCalc = "error creat\n" + noOffice;
    struct Case {
        bool spreadsheet;
        const char* file;
        const char* office;  // the folder PATH names; empty: the real PATH
        QString message;     // %1: the file
        F failure;
    };
    const Case cases[] = {
        {false, "bad.doc", "no-office", noOffice, F::NotStartable},
        {true, "bad.xls", "no-office", noCalc, F::NotStartable},
        {false, "bad.doc", "hangs", noOffice, F::NotStartable},
        {true, "bad.xls", "hangs", noCalc, F::NotStartable},
        {false, "bad.doc", "fails", noOffice, F::NotStartable},
        {false, "bad.doc", "", "The document %1 cannot be opened.", F::CannotOpen},
        {true, "bad.xls", "", "error open", F::CannotOpen},
        {false, "missing.doc", "", "The document %1 cannot be read: it does not exist", F::None},
        {true, "missing.xls", "", "The spreadsheet %1 does not exist.", F::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " " << c.office);
        const QString file = dir.filePath(c.file);
        QTemporaryDir folder;
        QTemporaryDir temp;
        PageList pages;
        pages.addPage();
        pages.setLastPagePicture("keep.bmp");
        const PageList before = pages;
        RecordingSurface surface;
        ImportSetup setup = setupIn(folder.path(), temp.path(), "OUT");
        if (*c.office) {
            setup.office.timeoutMs = 1500;  // the stand-ins hang or fail at once
        }
        QFile::remove(sleeperPid);
        bool done;
        F failure;
        {
            const Environment env(
                "PATH", *c.office ? QFile::encodeName(dir.filePath(c.office)) : qgetenv("PATH"));
            if (c.spreadsheet) {
                const SpreadsheetImportResult result =
                    importSpreadsheet(file, setup, &pages, surface);
                std::tie(failure, done) = std::make_pair(result.failure, result.done);
            } else {
                const DocumentImportResult result = importDocument(file, setup, &pages, surface);
                std::tie(failure, done) = std::make_pair(result.failure, result.done);
            }
        }
        EXPECT_FALSE(done);
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(surface.messages,
                  QStringList{c.message.contains("%1") ? c.message.arg(file) : c.message});
        EXPECT_EQ(entries(folder.path()), QStringList());
        EXPECT_EQ(workingFolders(temp.path()), QStringList());
        EXPECT_EQ(pages.items(), before.items());
        EXPECT_EQ(pages.tabCaptions(), before.tabCaptions());
        EXPECT_EQ(pages.currentTab(), before.currentTab());
        // A hung office is ended with everything it started.
        if (QFileInfo::exists(sleeperPid)) {
            const qint64 pid = readBytes(sleeperPid).trimmed().toLongLong();
            EXPECT_TRUE(processGone(pid)) << pid << " still runs";
        }
    }
}

TEST(OfficeImport, CommandLineFailures) {
    QTemporaryDir folder;
    QTemporaryDir empty;
    const QString some = folder.filePath("some.xls");
    ASSERT_TRUE(writeBytes(some, "x"));
    const struct {
        QStringList args;
        bool withoutOffice;
        int exitCode;
        const char* error;
    } cases[] = {
        {{"import-doc"}, false, 2, "no file given"},
        {{"import-xls", some, "--size"}, false, 2, "unknown option --size"},
        {{"import-doc", folder.filePath("missing.doc")}, false, 2, "cannot be read"},
        {{"import-xls", some}, true, 4, "error creat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const Environment env("PATH",
                              c.withoutOffice ? QFile::encodeName(empty.path()) : qgetenv("PATH"));
        const CliRun run = runCli(QStringList{"--folder", folder.path()} + c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.error)) << run.err.toStdString();
        EXPECT_EQ(entries(folder.path()), QStringList{"some.xls"});
    }
}

}  // namespace
