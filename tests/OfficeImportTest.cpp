// Document and spreadsheet import through the real LibreOffice, on files the
// tests write themselves and have LibreOffice convert to ".doc" and ".xls".

#include "app/DocumentImportDialog.h"
#include "app/MainWindow.h"
#include "app/ParameterDialog.h"
#include "app/SpreadsheetImportDialog.h"
#include "app/TextComposerDialog.h"
#include "core/SettingsFile.h"
#include "import/DocumentImport.h"
#include "import/SpreadsheetImport.h"
#include "pages/PlayListFile.h"
#include "platform/OfficeSuite.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cstdlib>

#include <signal.h>

namespace {

// ---- Fixtures ----------------------------------------------------------

// Three pages: a red and a green square of one inch side by side (wider and
// taller than the screens used here), a green square, a blue square.
const char kThreePages[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:automatic-styles>
  <style:style style:name="Next" style:family="paragraph">
   <style:paragraph-properties fo:break-before="page"/></style:style>
  <style:style style:name="red" style:family="graphic"><style:graphic-properties
   draw:stroke="none" draw:fill="solid" draw:fill-color="#ff0000"/></style:style>
  <style:style style:name="green" style:family="graphic"><style:graphic-properties
   draw:stroke="none" draw:fill="solid" draw:fill-color="#00ff00"/></style:style>
  <style:style style:name="blue" style:family="graphic"><style:graphic-properties
   draw:stroke="none" draw:fill="solid" draw:fill-color="#0000ff"/></style:style>
 </office:automatic-styles>
 <office:body><office:text>
  <text:p><draw:rect draw:style-name="red" text:anchor-type="as-char" svg:width="1in"
   svg:height="1in"/><draw:rect draw:style-name="green" text:anchor-type="as-char"
   svg:width="1in" svg:height="1in"/></text:p>
  <text:p text:style-name="Next"><draw:rect draw:style-name="green" text:anchor-type="as-char"
   svg:width="1in" svg:height="1in"/></text:p>
  <text:p text:style-name="Next"><draw:rect draw:style-name="blue" text:anchor-type="as-char"
   svg:width="1in" svg:height="1in"/></text:p>
 </office:text></office:body>
</office:document>
)";

// Columns of half an inch and rows of a quarter: A1:T20 green (T20 blue) is
// about 960 x 480 pixels; column U and row 21 are red.
const char kSheet[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>
  <style:style style:name="co" style:family="table-column">
   <style:table-column-properties style:column-width="0.5in"/></style:style>
  <style:style style:name="ro" style:family="table-row"><style:table-row-properties
   style:row-height="0.25in" style:use-optimal-row-height="false"/></style:style>
  <style:style style:name="green" style:family="table-cell">
   <style:table-cell-properties fo:background-color="#00ff00"/></style:style>
  <style:style style:name="blue" style:family="table-cell">
   <style:table-cell-properties fo:background-color="#0000ff"/></style:style>
  <style:style style:name="red" style:family="table-cell">
   <style:table-cell-properties fo:background-color="#ff0000"/></style:style>
 </office:automatic-styles>
 <office:body><office:spreadsheet>
  <table:table table:name="One">
   <table:table-column table:style-name="co" table:number-columns-repeated="22"/>
   <table:table-row table:style-name="ro" table:number-rows-repeated="19">
    <table:table-cell table:style-name="green" table:number-columns-repeated="20"/>
    <table:table-cell table:style-name="red" office:value-type="float" office:value="1">
     <text:p>1</text:p></table:table-cell>
   </table:table-row>
   <table:table-row table:style-name="ro">
    <table:table-cell table:style-name="green" table:number-columns-repeated="19"/>
    <table:table-cell table:style-name="blue"/>
    <table:table-cell table:style-name="red"/>
   </table:table-row>
   <table:table-row table:style-name="ro">
    <table:table-cell table:style-name="red" table:number-columns-repeated="21"/>
   </table:table-row>
  </table:table>
  <table:table table:name="Two">
   <table:table-row><table:table-cell table:style-name="red"/></table:table-row>
  </table:table>
 </office:spreadsheet></office:body>
</office:document>
)";

// The ".doc" and ".xls" fixtures, made once per run with one LibreOffice
// profile. LibreOffice is part of the setup: without it these fail.
class Fixtures {
  public:
    static Fixtures& get() {
        static Fixtures fixtures;
        return fixtures;
    }
    QString document() { return converted(QStringLiteral("three.fodt"), kThreePages, "doc"); }
    QString spreadsheet() { return converted(QStringLiteral("sheet.fods"), kSheet, "xls"); }

  private:
    QString converted(const QString& name, const char* text, const char* format) {
        const QString source = m_dir.filePath(name);
        const QString target =
            m_dir.filePath(QFileInfo(name).completeBaseName() + QLatin1Char('.') + format);
        if (QFileInfo::exists(target)) {
            return target;
        }
        const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        EXPECT_FALSE(office.isEmpty()) << "LibreOffice (soffice) is not installed";
        if (office.isEmpty() || !writeBytes(source, QByteArray(text))) {
            return QString();
        }
        QProcess process;
        process.start(
            office,
            {QStringLiteral("-env:UserInstallation=") +
                 QString::fromLatin1(
                     QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("profile"))).toEncoded()),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"),
             QString::fromLatin1(format), QStringLiteral("--outdir"), m_dir.path(), source});
        process.waitForFinished(120000);
        EXPECT_TRUE(QFileInfo::exists(target)) << "LibreOffice made no " << format << ": "
                                               << process.readAllStandardError().toStdString();
        return QFileInfo::exists(target) ? target : QString();
    }

    QTemporaryDir m_dir;
};

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

QStringList entries(const QString& folder, const QString& pattern = QStringLiteral("*")) {
    return QDir(folder).entryList({pattern}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

// The private working folders of imports left in folder.
QStringList workingFolders(const QString& folder) {
    return entries(folder, QStringLiteral("marquee-import-*"));
}

QImage bitmap(const QString& path) {
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

bool near(QRgb pixel, QRgb wanted) {
    return std::abs(qRed(pixel) - qRed(wanted)) < 32 &&
           std::abs(qGreen(pixel) - qGreen(wanted)) < 32 &&
           std::abs(qBlue(pixel) - qBlue(wanted)) < 32;
}

int countNear(const QImage& image, QRgb wanted) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += near(image.pixel(x, y), wanted) ? 1 : 0;
        }
    }
    return count;
}

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kGreen = 0xff00ff00;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

Settings screenOf(int width, int height) {
    Settings settings;
    settings.WIDTH = width;
    settings.HEIGHT = height;
    return settings;
}

// The window as a person starts it, with its four dialogs.
// ---- Screens made from pictures ---------------------------------------

QImage filled(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(OfficeImport, ScreensFromPictures) {
    // A picture whose outermost row and column are blue, inside green.
    QImage framed = filled(QSize(4, 3), kGreen);
    for (int x = 0; x < 4; ++x) {
        framed.setPixel(x, 0, kBlue);
    }
    for (int y = 0; y < 3; ++y) {
        framed.setPixel(0, y, kBlue);
    }
    struct Case {
        const char* name;
        bool spreadsheet;
        QImage picture;
        QSize screen;
        std::vector<std::pair<QPoint, QRgb>> pixels;
    };
    const Case cases[] = {
        {"document: small picture at (0, 0), black beyond",
         false,
         filled(QSize(3, 2), kRed),
         QSize(5, 4),
         {{{0, 0}, kRed}, {{2, 1}, kRed}, {{3, 0}, kBlack}, {{0, 2}, kBlack}, {{4, 3}, kBlack}}},
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
        const QImage screen = c.spreadsheet ? spreadsheetScreen(c.picture, c.screen)
                                            : documentScreen(c.picture, c.screen);
        EXPECT_EQ(screen.size(), c.screen) << c.name;
        for (const auto& [point, colour] : c.pixels) {
            EXPECT_EQ(screen.pixel(point), colour)
                << c.name << " at " << point.x() << "," << point.y();
        }
    }
}

TEST(OfficeImport, ContentBoxLeavesOutThePaper) {
    QImage page = filled(QSize(20, 30), kWhite);
    page.setPixel(5, 7, kBlack);
    page.setPixel(9, 3, 0xff808080);
    page.setPixel(1, 1, 0xfffafafa);  // too faint to count
    QImage dark = filled(QSize(10, 10), kBlack);
    dark.setPixel(4, 6, kWhite);
    const struct {
        const char* name;
        QImage page;
        QRect box;
    } cases[] = {
        {"ink on white paper", page, QRect(QPoint(5, 3), QPoint(9, 7))},
        {"a black page with white ink", dark, QRect(4, 6, 1, 1)},
        {"nothing on the page", filled(QSize(8, 8), kWhite), QRect()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(contentBox(c.page), c.box) << c.name;
    }
}

// ---- Documents ---------------------------------------------------------

TEST(DocumentImport, ThreePagesIntoTwoPageList) {
    const QString document = Fixtures::get().document();
    ASSERT_FALSE(document.isEmpty());
    QTemporaryDir folder;
    QTemporaryDir temp;
    const Environment tmp("TMPDIR", QFile::encodeName(temp.path()));

    Program program(folder.path());
    program.window.setSettings(screenOf(128, 64));
    program.addPages(1);
    ASSERT_EQ(program.window.pages().PageCount(), 2);
    EXPECT_EQ(program.form1.findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(),
              QStringLiteral("LC"));
    program.loadAndChange(program.form1, document);

    EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();
    EXPECT_FALSE(program.form1.isVisible());
    EXPECT_EQ(program.form1.lastResult().pageCount, 3);
    const PageList& pages = program.window.pages();
    ASSERT_EQ(pages.PageCount(), 4);
    EXPECT_EQ(pages.item(1).FileName, QString());
    EXPECT_EQ(pages.item(2).FileName, QStringLiteral("LC1.bmp"));
    EXPECT_EQ(pages.item(3).FileName, QStringLiteral("LC2.bmp"));
    EXPECT_EQ(pages.item(4).FileName, QStringLiteral("LC3.bmp"));
    const QStringList captions{QStringLiteral("1"), QStringLiteral(" 2"),
                               QString::fromUtf8("第 3幕"), QString::fromUtf8("第 4幕")};
    EXPECT_EQ(pages.tabCaptions(), captions);
    EXPECT_EQ(program.tabs(), captions);
    EXPECT_EQ(pages.currentTab(), 3);
    EXPECT_EQ(program.window.findChild<QTabBar*>(QStringLiteral("Tab"))->currentIndex(), 3);

    // Only the pictures are left; the working folder is gone.
    EXPECT_EQ(entries(folder.path()),
              QStringList({QStringLiteral("LC1.bmp"), QStringLiteral("LC2.bmp"),
                           QStringLiteral("LC3.bmp")}));
    EXPECT_EQ(workingFolders(temp.path()), QStringList());

    // Page 1 is 192 x 96 pixels of squares: cut at the screen, not scaled,
    // and starting at the content, not at the paper's margin.
    const QImage first = bitmap(folder.filePath(QStringLiteral("LC1.bmp")));
    ASSERT_EQ(first.size(), QSize(128, 64));
    for (const auto& [point, colour] : std::vector<std::pair<QPoint, QRgb>>{{{0, 0}, kRed},
                                                                            {{94, 0}, kRed},
                                                                            {{0, 63}, kRed},
                                                                            {{94, 63}, kRed},
                                                                            {{98, 0}, kGreen},
                                                                            {{127, 0}, kGreen},
                                                                            {{127, 63}, kGreen}}) {
        EXPECT_EQ(first.pixel(point), colour) << point.x() << "," << point.y();
    }
    // Page 2's square is narrower than the screen: black beyond it.
    const QImage second = bitmap(folder.filePath(QStringLiteral("LC2.bmp")));
    EXPECT_EQ(second.pixel(0, 0), kGreen);
    EXPECT_EQ(second.pixel(94, 63), kGreen);
    EXPECT_EQ(second.pixel(127, 0), kBlack);
    const QImage third = bitmap(folder.filePath(QStringLiteral("LC3.bmp")));
    EXPECT_EQ(third.pixel(0, 0), kBlue);
    // The preview shows the selected page 4 (its picture: blue lights no LED).
    program.window.findChild<QAbstractButton*>("PictureMode")->click();
    EXPECT_EQ(program.window.previewShown().pixel(2, 2), kBlue);

    // Again, from the command line into a saved two-page list, on a smaller
    // screen: the same files are overwritten.
    PageList twoPages;
    twoPages.addPage();
    const QString list = folder.filePath(QStringLiteral("two.lis"));
    ASSERT_EQ(savePlayList(list, twoPages), QString());
    ASSERT_TRUE(writeSettingsFile(folder.path(), screenOf(32, 16)));
    const CliRun run =
        runCli({QStringLiteral("--folder"), folder.path(), QStringLiteral("import-doc"), document,
                QStringLiteral("--list"), list});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.outLines().endsWith(QStringLiteral("LC3.bmp"))) << run.out.toStdString();
    const PlayListParse saved = parsePlayList(readBytes(list));
    ASSERT_EQ(saved.pages.size(), 4u);
    EXPECT_EQ(saved.pages[1].FileName, QStringLiteral("LC1.bmp"));
    EXPECT_EQ(saved.pages[3].FileName, QStringLiteral("LC3.bmp"));
    const QImage again = bitmap(folder.filePath(QStringLiteral("LC1.bmp")));
    EXPECT_EQ(again.size(), QSize(32, 16));
    EXPECT_EQ(countNear(again, kRed), 32 * 16);
    EXPECT_EQ(workingFolders(temp.path()), QStringList());
}

// One page of three metres square: far too large to draw at 96 dpi.
const char kHugePage[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:automatic-styles>
  <style:page-layout style:name="huge"><style:page-layout-properties fo:page-width="300cm"
   fo:page-height="300cm"/></style:page-layout>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Standard" style:page-layout-name="huge"/>
 </office:master-styles>
 <office:body><office:text><text:p>Huge</text:p></office:text></office:body>
</office:document>
)";

TEST(DocumentImport, PageThatCannotBeTakenIsWrittenBlack) {
    QTemporaryDir folder;
    QTemporaryDir work;
    const QString document = QDir(work.path()).filePath(QStringLiteral("huge.fodt"));
    ASSERT_TRUE(writeBytes(document, kHugePage));
    PageList pages;
    RecordingSurface surface;
    ImportSetup setup;
    setup.folder = folder.path();
    setup.base = QStringLiteral("LC");
    setup.screen = QSize(64, 16);
    setup.workParent = work.path();
    const DocumentImportResult result = importDocument(document, setup, &pages, surface);

    EXPECT_TRUE(result.done) << result.reason.toStdString();
    EXPECT_EQ(result.blackPages, QList<int>{1});
    EXPECT_EQ(surface.messages,
              QStringList{QStringLiteral("Page 1 of %1 could not be taken as a picture and was "
                                         "written black.")
                              .arg(document)});
    EXPECT_EQ(pages.item(1).FileName, QStringLiteral("LC1.bmp"));
    EXPECT_EQ(countNear(bitmap(folder.filePath(QStringLiteral("LC1.bmp"))), kBlack), 64 * 16);
    EXPECT_FALSE(surface.steps.isEmpty());
}

// ---- Spreadsheets ------------------------------------------------------

TEST(SpreadsheetImport, RangeIntoLastPage) {
    const QString workbook = Fixtures::get().spreadsheet();
    ASSERT_FALSE(workbook.isEmpty());
    QTemporaryDir folder;
    QTemporaryDir temp;
    const Environment tmp("TMPDIR", QFile::encodeName(temp.path()));

    Program program(folder.path());
    program.window.setSettings(screenOf(1200, 600));
    program.addPages(2);
    emit program.window.findChild<QTabBar*>(QStringLiteral("Tab"))->tabBarClicked(0);
    const PlayList before = program.window.pages().items();
    program.loadAndChange(program.form2, workbook);

    EXPECT_TRUE(program.messages.isEmpty()) << program.messages.join('\n').toStdString();
    EXPECT_FALSE(program.form2.isVisible());
    const PageList& pages = program.window.pages();
    EXPECT_EQ(pages.PageCount(), 3);
    EXPECT_EQ(pages.item(3).FileName, QStringLiteral("LCXLS1.bmp"));
    EXPECT_EQ(pages.item(1), before[1]);
    EXPECT_EQ(pages.item(2), before[2]);
    EXPECT_EQ(program.tabs(),
              QStringList({QStringLiteral("1"), QStringLiteral(" 2"), QStringLiteral(" 3")}));
    EXPECT_EQ(pages.currentTab(), 0);
    EXPECT_EQ(entries(folder.path()), QStringList({QStringLiteral("LCXLS1.bmp")}));
    EXPECT_EQ(workingFolders(temp.path()), QStringList());

    // About 960 x 480 pixels of green from the top-left corner, blue T20 at
    // its lower right, white to the right and below; column U and row 21
    // never appear.
    const QImage page = bitmap(folder.filePath(QStringLiteral("LCXLS1.bmp")));
    ASSERT_EQ(page.size(), QSize(1200, 600));
    EXPECT_EQ(page.pixel(0, 0), kGreen);
    EXPECT_EQ(page.pixel(400, 200), kGreen);
    EXPECT_GT(countNear(page, kBlue), 40 * 20);
    EXPECT_EQ(countNear(page, kRed), 0);
    for (const QPoint point : {QPoint(1000, 10), QPoint(1199, 300), QPoint(10, 520),
                               QPoint(500, 599), QPoint(1199, 599)}) {
        EXPECT_EQ(page.pixel(point), kWhite) << point.x() << "," << point.y();
    }

    // Again from the command line into a saved three-page list, on another
    // screen: the same file is overwritten, the list keeps its three pages.
    PageList threePages;
    threePages.addPage();
    threePages.addPage();
    const QString list = folder.filePath(QStringLiteral("three.lis"));
    ASSERT_EQ(savePlayList(list, threePages), QString());
    ASSERT_TRUE(writeSettingsFile(folder.path(), screenOf(64, 32)));
    const CliRun run =
        runCli({QStringLiteral("--folder"), folder.path(), QStringLiteral("import-xls"), workbook,
                QStringLiteral("--list"), list});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const PlayListParse saved = parsePlayList(readBytes(list));
    ASSERT_EQ(saved.pages.size(), 3u);
    EXPECT_EQ(saved.pages[2].FileName, QStringLiteral("LCXLS1.bmp"));
    EXPECT_EQ(saved.pages[0].FileName, QString());
    const QImage again = bitmap(folder.filePath(QStringLiteral("LCXLS1.bmp")));
    EXPECT_EQ(again.size(), QSize(64, 32));
    EXPECT_EQ(countNear(again, kGreen), 64 * 32);
}

// ---- Failures ----------------------------------------------------------

bool processGone(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0) {
        return true;
    }
    // Ended but not yet collected by whoever inherited it.
    const QByteArray status = readBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    return status.contains(") Z ");
}

TEST(OfficeImport, FailuresWriteNothingAndKeepTheList) {
    QTemporaryDir work;
    const QDir dir(work.path());
    // A folder without LibreOffice, and folders where "soffice" hangs or fails.
    const QString noOffice = dir.filePath(QStringLiteral("no-office"));
    const QString hangs = dir.filePath(QStringLiteral("hangs"));
    const QString fails = dir.filePath(QStringLiteral("fails"));
    for (const QString& path : {noOffice, hangs, fails}) {
        ASSERT_TRUE(QDir().mkpath(path));
    }
    const QString sleeperPid = dir.filePath(QStringLiteral("sleeper.pid"));
    const auto script = [](const QString& path, const QByteArray& text) {
        ASSERT_TRUE(writeBytes(path, "#!/bin/sh\n" + text));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    };
    script(QDir(hangs).filePath(QStringLiteral("soffice")),
           "/bin/sleep 60 &\necho $! > '" + QFile::encodeName(sleeperPid) + "'\nwait\n");
    script(QDir(fails).filePath(QStringLiteral("soffice")), "exit 1\n");
    // A ".doc" that LibreOffice cannot load, and a ".xls" it reads only as text.
    const QString badDocument = dir.filePath(QStringLiteral("bad.doc"));
    ASSERT_TRUE(
        writeBytes(badDocument, QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(2000, '\0')));
    const QString badWorkbook = dir.filePath(QStringLiteral("bad.xls"));
    ASSERT_TRUE(writeBytes(badWorkbook, "this is not a workbook\n"));
    const QString missing = dir.filePath(QStringLiteral("missing.xls"));
    const QString missingDocument = dir.filePath(QStringLiteral("missing.doc"));
    const QByteArray path = qgetenv("PATH");

    const struct {
        const char* name;
        bool spreadsheet;
        QString file;
        QByteArray pathVariable;
        QString message;
        OfficeFailure failure;
    } cases[] = {
        {"document, no office", false, badDocument, QFile::encodeName(noOffice),
         officeMissingMessage(), OfficeFailure::NotStartable},
        {"spreadsheet, no office", true, badWorkbook, QFile::encodeName(noOffice),
         QStringLiteral("error creat"), OfficeFailure::NotStartable},
        {"document, office hangs", false, badDocument, QFile::encodeName(hangs),
         officeMissingMessage(), OfficeFailure::NotStartable},
        {"spreadsheet, office hangs", true, badWorkbook, QFile::encodeName(hangs),
         QStringLiteral("error creat"), OfficeFailure::NotStartable},
        {"document, office fails", false, badDocument, QFile::encodeName(fails),
         officeMissingMessage(), OfficeFailure::NotStartable},
        {"document cannot be opened", false, badDocument, path,
         QStringLiteral("The document %1 cannot be opened.").arg(badDocument),
         OfficeFailure::CannotOpen},
        {"spreadsheet cannot be opened", true, badWorkbook, path, QStringLiteral("error open"),
         OfficeFailure::CannotOpen},
        {"document missing", false, missingDocument, path,
         QStringLiteral("The document %1 cannot be read: it does not exist").arg(missingDocument),
         OfficeFailure::None},
        {"spreadsheet missing", true, missing, path,
         QStringLiteral("The spreadsheet %1 does not exist.").arg(missing), OfficeFailure::None},
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        QTemporaryDir temp;
        PageList pages;
        pages.addPage();
        pages.setLastPagePicture(QStringLiteral("keep.bmp"));
        const PageList before = pages;
        RecordingSurface surface;
        ImportSetup setup;
        setup.folder = folder.path();
        setup.base = QStringLiteral("OUT");
        setup.screen = QSize(64, 16);
        setup.workParent = temp.path();
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
                failure = result.failure;
                done = result.done;
            } else {
                const DocumentImportResult result = importDocument(c.file, setup, &pages, surface);
                failure = result.failure;
                done = result.done;
            }
        }
        EXPECT_FALSE(done) << c.name;
        EXPECT_EQ(failure, c.failure) << c.name;
        EXPECT_EQ(surface.messages, QStringList{c.message}) << c.name;
        EXPECT_EQ(entries(folder.path()), QStringList()) << c.name;
        EXPECT_EQ(workingFolders(temp.path()), QStringList()) << c.name;
        EXPECT_EQ(pages.items(), before.items()) << c.name;
        EXPECT_EQ(pages.PageCount(), before.PageCount()) << c.name;
        EXPECT_EQ(pages.tabCaptions(), before.tabCaptions()) << c.name;
        EXPECT_EQ(pages.currentTab(), before.currentTab()) << c.name;
        EXPECT_LT(timer.elapsed(), 30000) << c.name;
        // A hung office is ended with everything it started.
        if (QFileInfo::exists(sleeperPid)) {
            const qint64 pid = readBytes(sleeperPid).trimmed().toLongLong();
            EXPECT_TRUE(processGone(pid)) << c.name << ": " << pid << " still runs";
        }
    }
}

TEST(OfficeImport, CommandLineFailures) {
    QTemporaryDir folder;
    QTemporaryDir empty;
    const QString missing = folder.filePath(QStringLiteral("missing.doc"));
    const QString some = folder.filePath(QStringLiteral("some.xls"));
    ASSERT_TRUE(writeBytes(some, "x"));
    const struct {
        const char* name;
        QStringList args;
        bool withoutOffice;
        int exitCode;
        QString error;
    } cases[] = {
        {"no file", {QStringLiteral("import-doc")}, false, 2, QStringLiteral("no file given")},
        {"unknown option",
         {QStringLiteral("import-xls"), some, QStringLiteral("--size")},
         false,
         2,
         QStringLiteral("unknown option --size")},
        {"missing document",
         {QStringLiteral("import-doc"), missing},
         false,
         2,
         QStringLiteral("cannot be read")},
        {"no office", {QStringLiteral("import-xls"), some}, true, 4, QStringLiteral("error creat")},
    };
    for (const auto& c : cases) {
        const Environment env("PATH",
                              c.withoutOffice ? QFile::encodeName(empty.path()) : qgetenv("PATH"));
        const CliRun run = runCli(QStringList{QStringLiteral("--folder"), folder.path()} + c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.error)) << c.name << ": " << run.err.toStdString();
        EXPECT_EQ(entries(folder.path()), QStringList({QStringLiteral("some.xls")})) << c.name;
    }
}

}  // namespace
