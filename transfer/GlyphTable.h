#pragma once

#include <QByteArray>
#include <QImage>
#include <QStringList>

// The characters the controller uses for its clock and date display, drawn
// yellow on black in the face "宋体" at 16 pixels (size 12 at 96 dpi):
// 19 cells of 8 x 16 ("0".."9", "A".."D", a second "D", "F", " ", ":", "-"),
// then 16 cells of 16 x 16 ("一".."六", "日", "年", "月", "日", "时", "分",
// "秒", "星", "期", "℃"). Each cell row is (width div 8) bytes, the leftmost
// pixel in the most significant bit, 1 for any pixel that is not black.
constexpr int kGlyphCellHeight = 16;
const QStringList& glyphCharacters();
int glyphCellWidth(int index);  // 8 for the first 19 cells, 16 after

// The 816 bytes of the table. Needs a running QGuiApplication (fonts).
QByteArray glyphTable();

// The table as a picture, one cell after another left to right, lit pixels
// white: what the controller's clock characters look like.
QImage glyphTablePicture(const QByteArray& table);
