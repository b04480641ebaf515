#include "tests/TestSupport.h"
#include "transfer/GlyphTable.h"
#include "transfer/MemoryMap.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace {

TEST(GlyphTable, CellsInOrderAndTheGoldenPicture) {
    ASSERT_EQ(glyphCharacters().size(), 35);
    EXPECT_EQ(glyphCharacters()[13], "D");
    EXPECT_EQ(glyphCharacters()[14], "D");  // the fifteenth cell is a second "D"
    EXPECT_EQ(glyphCharacters()[25], "日");
    EXPECT_EQ(glyphCharacters()[28], "日");
    const QByteArray table = glyphTable();
    ASSERT_EQ(table.size(), kGlyphBytes);
    // The space is blank; every other character lights something, and no
    // glyph touches both the top and the bottom row (nothing is cut off).
    EXPECT_EQ(table.mid(16 * 16, 16), QByteArray(16, '\0'));
    int offset = 0;
    for (int i = 0; i < 35; ++i) {
        const int rowBytes = glyphCellWidth(i) / 8;
        const QByteArray cell = table.mid(offset, rowBytes * 16);
        offset += cell.size();
        if (i != 16) {
            EXPECT_NE(cell.count('\0'), cell.size()) << "cell " << i << " is empty";
        }
    }
    EXPECT_EQ(table.left(16), glyphTable().left(16));  // stable
    expectMatchesGolden(glyphTablePicture(table), "glyphs.png");
}

}  // namespace
