#include "pages/EffectCatalogue.h"
#include "pages/PageList.h"

#include <gtest/gtest.h>

namespace {

// A list of pages (name, InMode, OutMode, AddMode, DispTime, DispSpeed) as
// LOADLIST would leave it, with tab `tab` selected.
PageList listOf(const std::vector<PlayItem>& pages, int tab) {
    PageList list;
    list.loadPages(pages);
    list.selectTab(tab);
    return list;
}

TEST(PageList, StartsWithOneBlankPage) {
    const PageList list;
    EXPECT_EQ(list.PageCount(), 1);
    EXPECT_EQ(list.tabCaptions(), QStringList{"1"});
    EXPECT_EQ(list.currentTab(), 0);
    EXPECT_FALSE(list.deleteEnabled());
    for (const PlayItem& item : list.items()) {
        EXPECT_EQ(item, (PlayItem{"", 0, 0, 0, 5, 0}));
    }
    EXPECT_EQ(list.fields().dispTimeText, "5");
    EXPECT_EQ(list.fields().dispSpeedText, "0");
    EXPECT_EQ(list.fields().inMode, 0);
}

TEST(PageList, AddAndDelete) {
    PageList list;
    list.addPage();
    EXPECT_EQ(list.tabCaptions(), (QStringList{"1", " 2"}));
    EXPECT_EQ(list.currentTab(), 1);
    EXPECT_TRUE(list.deleteEnabled());
    list.addPage();
    list.setPagePicture("three.bmp");
    list.clickInMode(40);
    list.editDispTime("9");
    list.editDispSpeed("3");
    list.clickOutMode(4);
    list.clickAddMode(1);
    const PlayItem third = list.item(3);

    // DELETE on page 2 of 3: page 3 moves down whole, the last page is selected.
    list.selectTab(1);
    list.deletePage();
    EXPECT_EQ(list.PageCount(), 2);
    EXPECT_EQ(list.tabCaptions(), (QStringList{"1", " 2"}));
    EXPECT_EQ(list.currentTab(), 1);
    EXPECT_EQ(list.item(2), third);
    EXPECT_EQ(entryEffects()[list.fields().inMode], "flicker");
    EXPECT_EQ(list.fields().dispTimeText, "9");
    // The old last slot loses its file name only; a new page takes the rest.
    EXPECT_EQ(list.item(3), (PlayItem{"", 40, 4, 1, 9, 3}));
    list.addPage();
    EXPECT_EQ(list.tabCaptions(), (QStringList{"1", " 2", " 3"}));
    EXPECT_EQ(list.fields().dispSpeedText, "3");

    // Down to one page: DELETE is disabled and does nothing more.
    for (int i = 0; i < 3; ++i) {
        list.deletePage();
    }
    EXPECT_EQ(list.PageCount(), 1);
    EXPECT_FALSE(list.deleteEnabled());
    EXPECT_EQ(list.tabCaptions(), QStringList{"1"});

    // After LOADLIST the captions have no blank; DELETE recaptions the tabs after the page.
    list = listOf({{"a"}, {"b"}, {"c"}, {"d"}}, 1);
    list.deletePage();
    EXPECT_EQ(list.tabCaptions(), (QStringList{"1", " 2", " 3"}));
    EXPECT_EQ(list.item(2).FileName, "c");
    EXPECT_EQ(list.item(3).FileName, "d");
    EXPECT_EQ(list.currentTab(), 2);
}

TEST(PageList, FieldEditsAreStoredModulo256OrRejected) {
    struct Case {
        const char* text;
        int stored;  // -1: rejected
        int position;
    };
    const Case cases[] = {
        {"300", 44, 300}, {"5", 5, 5},    {"0", 0, 0},         {"1000", 232, 1000},
        {" 7", 7, 7},     {"-1", 255, 0}, {"2000", 208, 1000}, {"", -1, 0},
        {"abc", -1, 0},   {"7 ", -1, 0},  {"1.5", -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        for (bool time : {true, false}) {
            PageList list;
            const QString error = time ? list.editDispTime(c.text) : list.editDispSpeed(c.text);
            const int stored = time ? list.item(1).DispTime : list.item(1).DispSpeed;
            if (c.stored < 0) {
                EXPECT_EQ(error, QStringLiteral("'%1' is not a valid integer value").arg(c.text));
                EXPECT_EQ(stored, time ? 5 : 0);
            } else {
                EXPECT_TRUE(error.isEmpty());
                EXPECT_EQ(stored, c.stored);
                EXPECT_EQ(time ? list.fields().dispTimePosition : list.fields().dispSpeedPosition,
                          c.position);
            }
        }
    }
}

TEST(PageList, ScopeSingleAndAll) {
    PageList list =
        listOf({{"a", 1, 7, 1, 10, 20}, {"b", 2, 8, 0, 11, 21}, {"c", 3, 9, 1, 12, 22}}, 0);
    // Choosing ALL copies the shown DISPMODE, DISPSPEED and DISPTIME to every
    // page but leaves OutMode and AddMode.
    list.chooseScope(Scope::All);
    EXPECT_EQ(list.item(2), (PlayItem{"b", 1, 8, 0, 10, 20}));
    EXPECT_EQ(list.item(3), (PlayItem{"c", 1, 9, 1, 10, 20}));
    list.clickInMode(40);
    list.editDispTime("300");
    for (int k = 0; k <= 3; ++k) {
        EXPECT_EQ(list.item(k).InMode, 40);
        EXPECT_EQ(list.item(k).DispTime, 44);
    }
    EXPECT_EQ(list.item(4), PlayItem{});  // beyond the list: untouched

    list.chooseScope(Scope::Single);  // changes nothing by itself
    list.selectTab(1);
    list.clickInMode(3);
    EXPECT_EQ(list.item(1).InMode, 40);
    EXPECT_EQ(list.item(2).InMode, 3);
    EXPECT_EQ(list.item(3).InMode, 40);

    // Showing a page's values counts as editing the fields: with ALL chosen,
    // a shown time that differs from the field goes to every page.
    for (Scope scope : {Scope::Single, Scope::All}) {
        PageList shown;
        shown.chooseScope(scope);
        shown.loadPages({{"a", 0, 0, 0, 5, 0}, {"b", 0, 0, 0, 8, 3}});
        shown.selectTab(0);
        shown.selectTab(1);
        EXPECT_EQ(shown.item(2).DispTime, 8);
        EXPECT_EQ(shown.item(1).DispTime, scope == Scope::All ? 8 : 5);
        EXPECT_EQ(shown.item(1).DispSpeed, scope == Scope::All ? 3 : 0);
    }
}

TEST(PageList, PlaceGeneratedPagesAndTheLimitOf255) {
    struct Case {
        const char* name;
        int startPages, n;
        CaptionStyle style;
        QStringList captions;
    };
    const Case cases[] = {
        {"text pages into one", 1, 3, CaptionStyle::Number, {"1", " 2", " 3"}},
        {"document pages into two", 2, 3, CaptionStyle::Act, {"1", " 2", "第 3幕", "第 4幕"}},
        {"one page replaces the last", 2, 1, CaptionStyle::Number, {"1", " 2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageList list;
        for (int i = 1; i < c.startPages; ++i) {
            list.addPage();
        }
        list.selectTab(0);
        const PlaceResult result = list.placeGeneratedPages("LC", c.n, c.style);
        EXPECT_EQ(result.placed, c.n);
        EXPECT_EQ(result.leftOut, 0);
        EXPECT_TRUE(result.message.isEmpty());
        EXPECT_EQ(list.tabCaptions(), c.captions);
        EXPECT_EQ(list.currentTab(), list.PageCount() - 1);
        EXPECT_EQ(list.deleteEnabled(), list.PageCount() > 1);
        for (int i = 1; i <= c.n; ++i) {
            EXPECT_EQ(list.item(c.startPages + i - 1).FileName, QStringLiteral("LC%1.bmp").arg(i));
        }
    }

    PageList list;
    for (int i = 1; i < 250; ++i) {
        ASSERT_TRUE(list.addPage().isEmpty());
    }
    EXPECT_EQ(list.tabCaptions()[99], "100");
    const PlaceResult result = list.placeGeneratedPages("LCTXT", 10, CaptionStyle::Number);
    EXPECT_EQ(result.placed, 6);
    EXPECT_EQ(result.leftOut, 4);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_EQ(list.PageCount(), 255);
    EXPECT_EQ(list.item(255).FileName, "LCTXT6.bmp");
    const PlayList before = list.items();
    EXPECT_FALSE(list.addPage().isEmpty());
    EXPECT_EQ(list.PageCount(), 255);
    EXPECT_EQ(list.tabCaptions().size(), 255);
    EXPECT_EQ(list.items(), before);
}

TEST(PageList, PicturesCodesAndLoading) {
    PageList list = listOf({{"a", 77, 30, 5, 5, 0}, {"b"}, {"c"}}, 0);
    list.setPagePicture("/pictures/new.jpg");
    list.setLastPagePicture("LCXLS1.bmp");
    EXPECT_EQ(list.item(1).FileName, "/pictures/new.jpg");
    EXPECT_EQ(list.item(2).FileName, "b");
    EXPECT_EQ(list.item(3).FileName, "LCXLS1.bmp");
    EXPECT_EQ(list.currentTab(), 0);
    // Codes without an effect are shown and kept as they are.
    EXPECT_EQ(list.fields().inMode, 77);
    EXPECT_EQ(list.fields().outMode, 30);
    EXPECT_EQ(list.fields().addMode, 5);
    EXPECT_EQ(unknownCodeText(77), "code 77");
    list.editDispTime("6");
    list.chooseScope(Scope::All);  // copies the shown code, not another effect
    EXPECT_EQ(list.item(3).InMode, 77);

    // Loading shows page 1 and leaves the slots above the list alone.
    for (int i = 0; i < 2; ++i) {
        list.addPage();
    }
    list.setPagePicture("five.bmp");
    list.loadPages({{"x", 1, 1, 1, 1, 1}, {"y", 2, 2, 2, 2, 2}});
    EXPECT_EQ(list.PageCount(), 2);
    EXPECT_EQ(list.tabCaptions(), (QStringList{"1", "2"}));
    EXPECT_EQ(list.currentTab(), 0);
    EXPECT_EQ(list.fields().dispTimeText, "1");
    EXPECT_TRUE(list.deleteEnabled());
    EXPECT_EQ(list.item(5).FileName, "five.bmp");
    list.loadPages({});
    EXPECT_EQ(list.PageCount(), 2);
    list.loadPages({{"z"}});
    EXPECT_FALSE(list.deleteEnabled());
}

TEST(EffectCatalogue, CodesAreListPositions) {
    ASSERT_EQ(entryEffects().size(), 41);
    EXPECT_EQ(entryEffects().first(), "immediately manifestation");
    EXPECT_EQ(entryEffects()[39], "time");
    EXPECT_EQ(entryEffects()[40], "flicker");
    ASSERT_EQ(exitEffects().size(), 20);
    EXPECT_EQ(exitEffects().first(), "立即消失");
    EXPECT_EQ(QStringList(exitEffects()).removeDuplicates(), 0);
    EXPECT_EQ(addModes(), (QStringList{"静止", "连续"}));
}

}  // namespace
