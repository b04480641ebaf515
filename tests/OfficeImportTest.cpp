// Document and spreadsheet import through the real LibreOffice, on the
// documents in tests/data/office, converted by LibreOffice to ".doc" and ".xls".

#include "core/SettingsFile.h"
#include "import/DocumentImport.h"
#include "import/SpreadsheetImport.h"
#include "pages/PlayListFile.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
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
class Environment {
  public:
    Environment(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~Environment() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
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

QImage bitmap(const QString& path) {
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

int countNear(const QImage& image, QRgb wanted) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += std::abs(qRed(p) - qRed(wanted)) < 32 &&
                     std::abs(qGreen(p) - qGreen(wanted)) < 32 &&
                     std::abs(qBlue(p) - qBlue(wanted)) < 32;
        }
    }
    return count;
}

using Pixels = std::vector<std::pair<QPoint, QRgb>>;
void expectPixels(const QImage& image, const Pixels& pixels) {
    for (const auto& [point, colour] : pixels) {
        EXPECT_EQ(image.pixel(point), colour) << point.x() << "," << point.y();
    }
}

constexpr QRgb kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kBlack = 0xff000000,
               kWhite = 0xffffffff;

Settings screenOf(int width, int height) {
    Settings settings;
    settings.WIDTH = width;
    settings.HEIGHT = height;
    return settings;
}

QImage filled(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(OfficeImport, ScreensFromPicturesAndTheContentBox) {
    // A picture whose outermost row and column are blue, inside green.
    QImage framed = filled(QSize(4, 3), kGreen);
    for (int i = 0; i < 4; ++i) {
        framed.setPixel(i, 0, kBlue);
        framed.setPixel(0, std::min(i, 2), kBlue);
    }
    struct Case {
        const char* name;
        bool spreadsheet;
        QImage picture;
        QSize screen;
        Pixels pixels;
    };
    const Case cases[] = {
        {"document: small picture at (0, 0), black beyond",
         false,
         filled(QSize(3, 2), kRed),
         QSize(5, 4),
         {{{0, 0}, kRed}, {{2, 1}, kRed}, {{3, 0}, kBlack}, {{0, 2}, kBlack}}},
        {"document: large picture cut, not scaled",
         false,
         framed,
         QSize(2, 2),
         {{{0, 0}, kBlue}, {{1, 0}, kBlue}, {{0, 1}, kBlue}, {{1, 1}, kGreen}}},
        {"document: no picture is black", false, QImage(), QSize(3, 3), {{{1, 1}, kBlack}}},
        {"spreadsheet: outer row and column cut, white beyond",
         true,
         framed,
         QSize(6, 5),
         {{{0, 0}, kGreen},
          {{2, 1}, kGreen},
          {{3, 0}, kWhite},
          {{0, 2}, kWhite},
          {{5, 4}, kWhite}}},
        {"spreadsheet: no picture is white", true, QImage(), QSize(3, 3), {{{2, 2}, kWhite}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage screen = c.spreadsheet ? spreadsheetScreen(c.picture, c.screen)
                                            : documentScreen(c.picture, c.screen);
        EXPECT_EQ(screen.size(), c.screen);
        expectPixels(screen, c.pixels);
    }

    QImage page = filled(QSize(20, 30), kWhite);
    page.setPixel(5, 7, kBlack);
    page.setPixel(9, 3, 0xff808080);
    page.setPixel(1, 1, 0xfffafafa);  // too faint to count
    QImage dark = filled(QSize(10, 10), kBlack);
    dark.setPixel(4, 6, kWhite);
    EXPECT_EQ(contentBox(page), QRect(QPoint(5, 3), QPoint(9, 7)));  // ink on white paper
    EXPECT_EQ(contentBox(dark), QRect(4, 6, 1, 1));                  // white ink on black
    EXPECT_EQ(contentBox(filled(QSize(8, 8), kWhite)), QRect());     // nothing on the page
}

TEST(DocumentImport, ThreePagesIntoTwoPageList) {
    const QString document = converted("three-pages.fodt", "doc");
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
    const QImage first = bitmap(folder.filePath("LC1.bmp"));
    ASSERT_EQ(first.size(), QSize(128, 64));
    expectPixels(first, {{{0, 0}, kRed},
                         {{94, 0}, kRed},
                         {{0, 63}, kRed},
                         {{94, 63}, kRed},
                         {{98, 0}, kGreen},
                         {{127, 0}, kGreen},
                         {{127, 63}, kGreen}});
    // Page 2's square is narrower than the screen: black beyond it.
    expectPixels(bitmap(folder.filePath("LC2.bmp")),
                 {{{0, 0}, kGreen}, {{94, 63}, kGreen}, {{127, 0}, kBlack}});
    EXPECT_EQ(bitmap(folder.filePath("LC3.bmp")).pixel(0, 0), kBlue);
    EXPECT_EQ(program.window.previewShown().pixel(2, 2), kBlue);  // page 4 is shown

    // Again, from the command line into a saved two-page list, on a smaller
    // screen: the same files are overwritten.
    PageList twoPages;
    twoPages.addPage();
    const QString list = folder.filePath("two.lis");
    ASSERT_EQ(savePlayList(list, twoPages), QString());
    ASSERT_TRUE(writeSettingsFile(folder.path(), screenOf(32, 16)));
    const CliRun run = runCli({"--folder", folder.path(), "import-doc", document, "--list", list});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.outLines().endsWith("LC3.bmp")) << run.out.toStdString();
    const PlayListParse saved = parsePlayList(readBytes(list));
    ASSERT_EQ(saved.pages.size(), 4u);
    EXPECT_EQ(saved.pages[1].FileName, "LC1.bmp");
    EXPECT_EQ(saved.pages[3].FileName, "LC3.bmp");
    const QImage again = bitmap(folder.filePath("LC1.bmp"));
    EXPECT_EQ(again.size(), QSize(32, 16));
    EXPECT_EQ(countNear(again, kRed), 32 * 16);
    EXPECT_EQ(workingFolders(temp.path()), QStringList());
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
    EXPECT_EQ(countNear(bitmap(folder.filePath("LC1.bmp")), kBlack), 64 * 16);
    EXPECT_FALSE(surface.steps.isEmpty());
}

TEST(SpreadsheetImport, RangeIntoLastPage) {
    const QString workbook = converted("sheet.fods", "xls");
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
    const PageList& pages = program.window.pages();
    EXPECT_EQ(pages.PageCount(), 3);
    EXPECT_EQ(pages.item(3).FileName, "LCXLS1.bmp");
    EXPECT_EQ(pages.item(1), before[1]);
    EXPECT_EQ(pages.item(2), before[2]);
    EXPECT_EQ(program.tabs(), (QStringList{"1", " 2", " 3"}));
    EXPECT_EQ(pages.currentTab(), 0);
    EXPECT_EQ(entries(folder.path()), QStringList{"LCXLS1.bmp"});
    EXPECT_EQ(workingFolders(temp.path()), QStringList());

    // About 960 x 480 pixels of green from the top-left corner, blue T20 at
    // its lower right, white to the right and below; column U and row 21
    // never appear.
    const QImage page = bitmap(folder.filePath("LCXLS1.bmp"));
    ASSERT_EQ(page.size(), QSize(1200, 600));
    expectPixels(page, {{{0, 0}, kGreen},
                        {{400, 200}, kGreen},
                        {{1000, 10}, kWhite},
                        {{1199, 300}, kWhite},
                        {{10, 520}, kWhite},
                        {{500, 599}, kWhite},
                        {{1199, 599}, kWhite}});
    EXPECT_GT(countNear(page, kBlue), 40 * 20);
    EXPECT_EQ(countNear(page, kRed), 0);

    // Again from the command line into a saved three-page list, on another
    // screen: the same file is overwritten, the list keeps its three pages.
    PageList threePages;
    threePages.addPage();
    threePages.addPage();
    const QString list = folder.filePath("three.lis");
    ASSERT_EQ(savePlayList(list, threePages), QString());
    ASSERT_TRUE(writeSettingsFile(folder.path(), screenOf(64, 32)));
    const CliRun run = runCli({"--folder", folder.path(), "import-xls", workbook, "--list", list});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const PlayListParse saved = parsePlayList(readBytes(list));
    ASSERT_EQ(saved.pages.size(), 3u);
    EXPECT_EQ(saved.pages[2].FileName, "LCXLS1.bmp");
    EXPECT_EQ(saved.pages[0].FileName, QString());
    const QImage again = bitmap(folder.filePath("LCXLS1.bmp"));
    EXPECT_EQ(again.size(), QSize(64, 32));
    EXPECT_EQ(countNear(again, kGreen), 64 * 32);
}

bool processGone(qint64 pid) {
    // Ended, or ended and not yet collected by whoever inherited it.
    return ::kill(static_cast<pid_t>(pid), 0) != 0 ||
           readBytes(QStringLiteral("/proc/%1/stat").arg(pid)).contains(") Z ");
}

TEST(OfficeImport, FailuresWriteNothingAndKeepTheList) {
    QTemporaryDir work;
    const QDir dir(work.path());
    // A folder without LibreOffice, and folders where "soffice" hangs or fails.
    const QByteArray noOffice = QFile::encodeName(dir.filePath("no-office"));
    const QByteArray hangs = QFile::encodeName(dir.filePath("hangs"));
    const QByteArray fails = QFile::encodeName(dir.filePath("fails"));
    const QString sleeperPid = dir.filePath("sleeper.pid");
    const std::pair<QByteArray, QByteArray> scripts[] = {
        {noOffice, ""},
        {hangs, "/bin/sleep 60 &\necho $! > '" + QFile::encodeName(sleeperPid) + "'\nwait\n"},
        {fails, "exit 1\n"}};
    for (const auto& [folder, text] : scripts) {
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(folder)));
        if (!text.isEmpty()) {
            const QString soffice = QFile::decodeName(folder + "/soffice");
            ASSERT_TRUE(writeBytes(soffice, "#!/bin/sh\n" + text));
            QFile::setPermissions(soffice, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
    }
    // A ".doc" that LibreOffice cannot load, and a ".xls" it reads only as text.
    const QString badDocument = dir.filePath("bad.doc");
    ASSERT_TRUE(writeBytes(badDocument, hexBytes("d0cf11e0a1b11ae1") + QByteArray(2000, '\0')));
    const QString badWorkbook = dir.filePath("bad.xls");
    ASSERT_TRUE(writeBytes(badWorkbook, "this is not a workbook\n"));
    const QString missingWorkbook = dir.filePath("missing.xls");
    const QString missingDocument = dir.filePath("missing.doc");
    const QByteArray path = qgetenv("PATH");
    const QString creat = "error creat";

    const struct {
        const char* name;
        bool spreadsheet;
        QString file;
        QByteArray pathVariable;
        QString message;
        OfficeFailure failure;
    } cases[] = {
        {"document, no office", false, badDocument, noOffice, officeMissingMessage(),
         OfficeFailure::NotStartable},
        {"spreadsheet, no office", true, badWorkbook, noOffice, creat, OfficeFailure::NotStartable},
        {"document, office hangs", false, badDocument, hangs, officeMissingMessage(),
         OfficeFailure::NotStartable},
        {"spreadsheet, office hangs", true, badWorkbook, hangs, creat, OfficeFailure::NotStartable},
        {"document, office fails", false, badDocument, fails, officeMissingMessage(),
         OfficeFailure::NotStartable},
        {"document cannot be opened", false, badDocument, path,
         QStringLiteral("The document %1 cannot be opened.").arg(badDocument),
         OfficeFailure::CannotOpen},
        {"spreadsheet cannot be opened", true, badWorkbook, path, "error open",
         OfficeFailure::CannotOpen},
        {"document missing", false, missingDocument, path,
         QStringLiteral("The document %1 cannot be read: it does not exist").arg(missingDocument),
         OfficeFailure::None},
        {"spreadsheet missing", true, missingWorkbook, path,
         QStringLiteral("The spreadsheet %1 does not exist.").arg(missingWorkbook),
         OfficeFailure::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        QTemporaryDir temp;
        PageList pages;
        pages.addPage();
        pages.setLastPagePicture("keep.bmp");
        const PageList before = pages;
        RecordingSurface surface;
        ImportSetup setup = setupIn(folder.path(), temp.path(), "OUT");
        if (c.pathVariable != path) {
            setup.office.timeoutMs = 1500;  // the stand-ins hang or fail at once
        }
        QFile::remove(sleeperPid);
        QElapsedTimer timer;
        timer.start();
        OfficeFailure failure;
        bool done;
        {
            const Environment env("PATH", c.pathVariable);
            if (c.spreadsheet) {
                const SpreadsheetImportResult result =
                    importSpreadsheet(c.file, setup, &pages, surface);
                std::tie(failure, done) = std::make_pair(result.failure, result.done);
            } else {
                const DocumentImportResult result = importDocument(c.file, setup, &pages, surface);
                std::tie(failure, done) = std::make_pair(result.failure, result.done);
            }
        }
        EXPECT_FALSE(done);
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(surface.messages, QStringList{c.message});
        EXPECT_EQ(entries(folder.path()), QStringList());
        EXPECT_EQ(workingFolders(temp.path()), QStringList());
        EXPECT_EQ(pages.items(), before.items());
        EXPECT_EQ(pages.PageCount(), before.PageCount());
        EXPECT_EQ(pages.tabCaptions(), before.tabCaptions());
        EXPECT_EQ(pages.currentTab(), before.currentTab());
        EXPECT_LT(timer.elapsed(), 30000);
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
        {{"import-xls", some, "--size"}, false, 2, "unexpected argument --size"},
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
