#pragma once

#include "transfer/ModuleType.h"

#include <QByteArray>
#include <QImage>

// How a pixel's colour becomes LED bits. The first and second channels are
// green and red, or red and green with RG-SWAP; a channel's bit is 1 when the
// channel is above 0, or exactly 0 with COLOR-SWAP. Blue never counts.
struct ColourTest {
    bool rgSwap = false;
    bool colorSwap = false;
};

// ADJUST: every channel c of the area (0, 0)..(width - 1, height - 1) becomes
// c * c * c div 65025, so a channel lights only from 41 up.
void AdjustGamma(QImage& canvas, int width, int height);

// Dual-colour packing, four pixels a byte, rows top to bottom:
//   bit 7 - 2j  second channel of pixel 4g + j (red without RG-SWAP)
//   bit 6 - 2j  first channel of pixel 4g + j  (green without RG-SWAP)
// A row is 2 x (width div 8) bytes; the last width mod 8 columns are not sent.
void packDualColour(const QImage& canvas, int width, int height, ColourTest test, QByteArray& out);

// Monochrome packing, eight pixels a byte: bit 7 - j is the first channel of
// pixel 8g + j. A row is width div 8 bytes.
void packMonochrome(const QImage& canvas, int width, int height, ColourTest test, QByteArray& out);

// The packing of depth.
void packPage(const QImage& canvas, Depth depth, int width, int height, ColourTest test,
              QByteArray& out);

// What the LEDs of a packed page show: red, green or yellow (both) on black
// for dual colour, red for monochrome; the columns that are not sent stay
// dark. The inverse of packing with the same colour test: a channel is lit
// exactly where packPage found it lit.
QImage unpackPage(const QByteArray& bytes, Depth depth, int width, int height, ColourTest test);
