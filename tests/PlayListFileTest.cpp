#include "pages/PlayListFile.h"
#include "tests/TestSupport.h"

namespace {

// The lines, each ended by CR LF.
QByteArray lines(std::initializer_list<const char*> texts) {
    QByteArray bytes;
    for (const char* text : texts) {
        bytes += QByteArray(text) + "\r\n";
    }
    return bytes;
}

TEST(PlayListFile, SaveAndLoadRoundTripToAFixedPoint) {
    EXPECT_EQ(formatPlayList(PageList{}.items(), 1), lines({"", "0", "0", "0", "5", "0"}));
    const std::vector<PlayItem> pages = {
        {"/home/sign/shop front.bmp", 40, 19, 1, 255, 0},
        {"", 0, 0, 0, 5, 0},
        {"第一页 café.jpg", 1, 2, 0, 44, 200},
        {"LCTXT1.bmp", 255, 255, 255, 0, 255},
        {"  leading and trailing blanks  ", 3, 0, 0, 9, 9},
    };
    PageList list;
    list.loadPages(pages);
    QTemporaryDir dir;
    const QString path = dir.filePath("shop.lis");
    ASSERT_TRUE(savePlayList(path, list).isEmpty());
    const QByteArray first = readBytes(path);
    EXPECT_EQ(first.count("\r\n"), 30);
    EXPECT_TRUE(first.startsWith("/home/sign/shop front.bmp\r\n40\r\n19\r\n1\r\n255\r\n0\r\n\r\n"));

    PageList loaded;
    const LoadListOutcome outcome = loadPlayList(path, &loaded);
    EXPECT_TRUE(outcome.loaded);
    EXPECT_TRUE(outcome.messages.isEmpty());
    EXPECT_EQ(std::vector<PlayItem>(loaded.items().begin() + 1, loaded.items().begin() + 6), pages);
    EXPECT_EQ(loaded.PageCount(), 5);
    ASSERT_TRUE(savePlayList(path, loaded).isEmpty());
    EXPECT_EQ(readBytes(path), first);

    // Numbers keep their low 8 bits; a name that is not UTF-8 is read as Latin-1.
    ASSERT_TRUE(writeBytes(path, "caf\xe9 menu.bmp\r\n300\r\n256\r\n-1\r\n44\r\n1000\r\n"));
    ASSERT_TRUE(loadPlayList(path, &loaded).loaded);
    EXPECT_EQ(loaded.item(1), (PlayItem{"café menu.bmp", 44, 0, 255, 44, 232}));
}

TEST(PlayListFile, ExtensionIsForcedToLis) {
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/list.txt", "/tmp/list.lis"},
        {"/tmp/list", "/tmp/list.lis"},
        {"/tmp/a.b/list", "/tmp/a.b/list.lis"},
        {"/tmp/x.y.txt", "/tmp/x.y.lis"},
        {"list.LIS", "list.lis"},
        {"/tmp/.hidden", "/tmp/.hidden.lis"},
    };
    for (const auto& [chosen, written] : cases) {
        EXPECT_EQ(withListExtension(chosen), written);
    }
    QTemporaryDir dir;
    ASSERT_TRUE(savePlayList(dir.filePath("typed.txt"), PageList{}).isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"typed.lis"});
}

TEST(PlayListFile, ParsesWholePagesAndSaysWhatItLeftOut) {
    QByteArray big;
    for (int i = 0; i < 257; ++i) {
        big += lines({"p.bmp", "1", "0", "0", "5", "0"});
    }
    const QByteArray one = lines({"a", "1", "0", "0", "5", "0"});
    struct Case {
        const char* name;
        QByteArray content;
        int pages;
        const char* error;
        int notes;
    };
    const Case cases[] = {
        {"three pages from 18 lines", one + one + one, 3, "", 0},
        {"blank lines before a number are skipped", "a\r\n\r\n1\r\n0\r\n0\r\n\r\n5\r\n0\r\n", 1, "",
         0},
        {"LF line ends", "a\n1\n0\n0\n5\n0\n", 1, "", 0},
        {"no line end after the last number", "a\r\n1\r\n0\r\n0\r\n5\r\n0", 1, "", 0},
        {"non-number on page 2", one + lines({"b", "x", "0", "0", "5", "0"}), 1,
         "Invalid numeric input", 1},
        {"last page cut short", one + lines({"b", "1", "0"}), 1, "", 1},
        {"trailing empty line is a cut-short page", one + lines({""}), 1, "", 1},
        {"more than 255 pages", big, 255, "", 1},
        {"empty file", "", 0, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PlayListParse parse = parsePlayList(c.content);
        EXPECT_EQ(static_cast<int>(parse.pages.size()), c.pages);
        EXPECT_EQ(parse.error, c.error);
        EXPECT_EQ(parse.notes.size(), c.notes) << parse.notes.join(" | ").toStdString();
    }
    const PlayListParse cut = parsePlayList(one + lines({"b", "1", "0"}));
    EXPECT_TRUE(cut.notes.value(0).contains("line 10")) << cut.notes.value(0).toStdString();
}

TEST(PlayListFile, LoadReplacesTheListOrLeavesItAlone) {
    QTemporaryDir dir;
    PageList list;
    list.addPage();
    list.setPagePicture("second.bmp");
    list.addPage();
    list.setPagePicture("third.bmp");
    ASSERT_TRUE(writeBytes(dir.filePath("bad.lis"), lines({"a", "oops"})));
    const std::pair<const char*, const char*> failed[] = {{"none.lis", "none.lis"},
                                                          {"bad.lis", "Invalid numeric input"}};
    for (const auto& [name, says] : failed) {
        const LoadListOutcome outcome = loadPlayList(dir.filePath(name), &list);
        EXPECT_FALSE(outcome.loaded);
        EXPECT_TRUE(outcome.messages.value(0).contains(says))
            << outcome.messages.value(0).toStdString();
        EXPECT_EQ(list.PageCount(), 3);
        EXPECT_EQ(list.currentTab(), 2);
    }
    // A page, then an error: the page stays loaded, the slots above it alone.
    const QString half = dir.filePath("half.lis");
    ASSERT_TRUE(writeBytes(half, lines({"one.bmp", "1", "0", "0", "5", "0", "two", "q"})));
    const LoadListOutcome outcome = loadPlayList(half, &list);
    EXPECT_TRUE(outcome.loaded);
    EXPECT_EQ(outcome.messages.value(0), "Invalid numeric input");
    EXPECT_EQ(list.PageCount(), 1);
    EXPECT_EQ(list.tabCaptions(), QStringList{"1"});
    EXPECT_FALSE(list.deleteEnabled());
    EXPECT_EQ(list.item(1).FileName, "one.bmp");
    EXPECT_EQ(list.item(2).FileName, "second.bmp");
    EXPECT_EQ(list.item(3).FileName, "third.bmp");

    // A failed save leaves what was there.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.lis"));
    EXPECT_FALSE(savePlayList(dir.filePath("taken.lis"), PageList{}).isEmpty());
    EXPECT_FALSE(savePlayList("/nonexistent/folder/x.lis", PageList{}).isEmpty());
}

}  // namespace
