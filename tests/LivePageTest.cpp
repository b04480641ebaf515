#include "TestSupport.h"

#include "import/LivePage.h"
#include "pages/PlayListFile.h"
#include "platform/PictureFile.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// Monday 7 December 2026, 09:05:30 local time.
const QDateTime kNow(QDate(2026, 12, 7), QTime(9, 5, 30));

PageList listOf(const QStringList& files) {
    std::vector<PlayItem> items;
    for (const QString& file : files) {
        PlayItem item;
        item.FileName = file;
        item.DispTime = 7;
        items.push_back(item);
    }
    PageList pages;
    pages.loadPages(items);
    return pages;
}

}  // namespace

// The fields and the options of a .live file, and what is refused.
TEST(LivePage, FieldsAndOptions) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(dir.filePath("next.txt"), "  12:40 Airport\r\nsecond line\n"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
    ASSERT_TRUE(writeBytes(dir.filePath("sub/t.txt"),
                           "21 \xc2\xb0"
                           "C"));
    ASSERT_EQ(mkfifo(dir.filePath("fifo").toLocal8Bit().constData(), 0600), 0);
    const struct {
        const char* json;
        const char* text;   // the text expanded; null when refused
        const char* error;  // the reason
    } cases[] = {
        {R"({"text": "{weekday} {date} {time}"})", "Monday 2026-12-07 09:05", ""},
        {R"({"text": "{time} {date}", "timeFormat": "HH:mm:ss", "dateFormat": "dd.MM."})",
         "09:05:30 07.12.", ""},
        {R"({"text": "{weekday}", "locale": "de_DE"})", "Montag", ""},
        {R"({"text": "Next: {file:next.txt} / {file:sub/t.txt} {other}"})",
         "Next:   12:40 Airport / 21 \xc2\xb0"
         "C {other}",
         ""},
        {R"({"text": "{file:missing.txt}"})", nullptr, "{file:missing.txt}: there is no file "},
        {R"({"text": "{file:../x.txt}"})", nullptr,
         "{file:../x.txt}: only files inside the sign folder are read"},
        {R"({"text": "{file:/etc/passwd}"})", nullptr,
         "{file:/etc/passwd}: only files inside the sign folder are read"},
        {R"({"text": "{file:fifo}"})", nullptr, "{file:fifo}: cannot read "},
        {R"({"text": "{file:sub}"})", nullptr, "{file:sub}: cannot read "},
        {R"({"txt": "a"})", nullptr, "unknown key \"txt\""},
        {R"({"size": 16})", nullptr, "no \"text\" in it"},
        {R"({"text": "a", "colour": "pink"})", nullptr, "colour \"pink\" is not a colour"},
        {R"({"text": "a", "layout": "two lines"})", nullptr,
         "layout \"two lines\" is neither \"one line\" nor \"many lines\""},
        {R"({"text": "a", "refresh": -1})", nullptr,
         "refresh must be a whole number from 0 to 86400"},
        {R"({"text": "a")", nullptr, "not JSON at byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        LivePage page;
        QString error = parseLivePage(c.json, &page);
        QList<WatchedFile> files;
        QString text;
        if (error.isEmpty()) {
            text = expandLiveText(page, dir.path(), kNow, &files, &error);
        }
        if (c.text) {
            EXPECT_EQ(error, QString());
            EXPECT_EQ(text, QString::fromUtf8(c.text));
        } else {
            EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.error))) << error.toStdString();
        }
    }
    LivePage page;
    ASSERT_EQ(parseLivePage(R"({"text": "a", "size": 24, "colour": "#00ff00", "background": "red",
        "layout": "many lines", "lines": 2, "center": true})",
                            &page),
              QString());
    EXPECT_EQ(page.options.style.font.pixelSize(), 24);
    EXPECT_EQ(page.options.style.text, QColor(0, 255, 0));
    EXPECT_EQ(page.options.style.background, QColor(255, 0, 0));
    EXPECT_EQ(page.options.layout, TextLayout::ManyLine);
    EXPECT_EQ(page.options.linesPerPage, 2);
    EXPECT_TRUE(page.options.center);
}

// Rendering a list: the live page names its rendering, drawn as the text
// composer draws the text; the same picture keeps its name, a changed file
// gives a new one; a file gone keeps the last rendering, with the reason.
TEST(LivePage, RendersKeepsAndReports) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    ASSERT_TRUE(writeBytes(dir.filePath("temp.live"),
                           R"({"text": "{file:temp.txt}", "colour": "red", "refresh": 30})"));
    ASSERT_TRUE(writeBytes(dir.filePath("temp.txt"), "21 C\n"));
    ASSERT_TRUE(writeBytes(dir.filePath("clock.live"), R"({"text": "{time}"})"));
    const Settings settings = screenOf(64, 16);
    const PageList pages = listOf({"a.bmp", "temp.live", "clock.live"});

    const LiveRendering first = renderLivePages(settings, pages, folder, kNow);
    EXPECT_EQ(first.messages, QStringList());
    EXPECT_EQ(first.unusable, QList<int>());
    EXPECT_EQ(first.pages.PageCount(), 3);
    EXPECT_EQ(first.pages.item(1).FileName, QStringLiteral("a.bmp"));
    EXPECT_EQ(first.pages.item(2).DispTime, 7);
    const QString rendered = first.pages.item(2).FileName;
    EXPECT_TRUE(rendered.startsWith(QStringLiteral(".live/temp-"))) << rendered.toStdString();
    const PictureLoad picture = loadPicture(QDir(folder).filePath(rendered), QSize(64, 16));
    ASSERT_EQ(picture.error, QString());
    ComposeOptions options;
    options.style.text = Qt::red;
    const TextComposition expected(QStringLiteral("21 C"), QSize(64, 16), options);
    EXPECT_EQ(picture.image.convertToFormat(QImage::Format_RGB32),
              expected.page(1).convertToFormat(QImage::Format_RGB32));
    // {time} changes at the next minute, before the refresh of 30 s ends.
    EXPECT_EQ(first.watch.next, QDateTime(QDate(2026, 12, 7), QTime(9, 6)));
    EXPECT_EQ(first.watch.files.size(), 3);
    EXPECT_FALSE(first.watch.filesChanged());

    const LiveRendering same = renderLivePages(settings, pages, folder, kNow.addSecs(10));
    EXPECT_EQ(same.pages.item(2).FileName, rendered);
    EXPECT_EQ(same.pages.item(3).FileName, first.pages.item(3).FileName);  // the same minute
    const LiveRendering later = renderLivePages(settings, pages, folder, kNow.addSecs(40));
    EXPECT_NE(later.pages.item(3).FileName, first.pages.item(3).FileName);  // 09:06
    ASSERT_TRUE(writeBytes(dir.filePath("temp.txt"), "22 C\n"));
    QFile(dir.filePath("temp.txt"))
        .setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    EXPECT_TRUE(first.watch.filesChanged());
    const LiveRendering changed = renderLivePages(settings, pages, folder, kNow.addSecs(20));
    EXPECT_NE(changed.pages.item(2).FileName, rendered);
    const QString newest = changed.pages.item(2).FileName;

    ASSERT_TRUE(QFile::remove(dir.filePath("temp.txt")));
    const LiveRendering gone = renderLivePages(settings, pages, folder, kNow.addSecs(30));
    ASSERT_EQ(gone.messages.size(), 1);
    EXPECT_TRUE(
        gone.messages[0].startsWith(QStringLiteral("temp.live: {file:temp.txt}: there is no file")))
        << gone.messages[0].toStdString();
    EXPECT_EQ(gone.pages.item(2).FileName, newest);
    EXPECT_EQ(gone.unusable, QList<int>());

    // Never rendered: the page keeps its name and is told unusable.
    ASSERT_TRUE(writeBytes(dir.filePath("broken.live"), "{"));
    const LiveRendering broken = renderLivePages(settings, listOf({"broken.live"}), folder, kNow);
    EXPECT_EQ(broken.unusable, QList<int>{1});
    EXPECT_EQ(broken.pages.item(1).FileName, QStringLiteral("broken.live"));
    ASSERT_EQ(broken.messages.size(), 1);
    EXPECT_TRUE(
        broken.messages[0].startsWith(QStringLiteral("broken.live: not a live page: not JSON")));
}

// marquee-cli build renders live pages: the bytes are those of the same
// list naming the rendering.
TEST(LivePage, BuildRendersThem) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeBytes(dir.filePath("news.live"), R"({"text": "{file:news.txt}"})"));
    ASSERT_TRUE(writeBytes(dir.filePath("news.txt"), "Open till 8\n"));
    ASSERT_EQ(savePlayList(dir.filePath("live.lis"), listOf({"news.live"})), QString());
    const CliRun run = runCli(
        {"--folder", dir.path(), "build", dir.filePath("live.lis"), dir.filePath("live.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList renderings =
        QDir(dir.filePath(".live")).entryList({"news-*.bmp"}, QDir::Files);
    ASSERT_EQ(renderings.size(), 1);
    ASSERT_EQ(savePlayList(dir.filePath("plain.lis"), listOf({".live/" + renderings[0]})),
              QString());
    ASSERT_EQ(runCli({"--folder", dir.path(), "build", dir.filePath("plain.lis"),
                      dir.filePath("plain.bin")})
                  .exitCode,
              0);
    EXPECT_EQ(readBytes(dir.filePath("live.bin")), readBytes(dir.filePath("plain.bin")));

    ASSERT_TRUE(writeBytes(dir.filePath("bad.live"), R"({"text": "{file:none.txt}"})"));
    ASSERT_EQ(savePlayList(dir.filePath("bad.lis"), listOf({"bad.live"})), QString());
    const CliRun bad =
        runCli({"--folder", dir.path(), "build", dir.filePath("bad.lis"), dir.filePath("bad.bin")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("bad.live: {file:none.txt}: there is no file"))
        << bad.err.toStdString();
}
