#pragma once

#include "core/Settings.h"
#include "transfer/Packing.h"

#include <QImage>
#include <QSize>

// What a page lights on the sign: the page packed exactly as SEND packs it,
// then unpacked as the controller reads it, so the colour test, the swaps,
// the depth and the columns that are not sent all show. A module type that
// is not sent lights nothing.
QImage signLeds(const QImage& page, Depth depth, QSize screen, ColourTest test);

// What a picture lights on the sign settings describe: fitted to its screen
// as SEND fits it (stretched, ADJUST's gamma), then as signLeds.
QImage pictureLeds(const QImage& picture, const Settings& settings);

// How a zoomed view draws one LED: a round dot on the dark board (the sign),
// or a square of the pixel's colour (the picture).
enum class ViewStyle { Dots, Squares };

// An unlit LED in a zoomed sign view: dim, so the grid of LEDs shows.
constexpr QRgb kUnlitDot = 0xff2a2a2a;

// Zoomed views larger than this many pixels are not drawn.
constexpr qint64 kMaxViewPixels = 16LL * 1024 * 1024;

// The largest zoom (1..16) whose view of a screen stays within
// kMaxViewPixels; 1 at least.
int maxZoom(QSize screen, int limit = 16);

// leds drawn zoom screen pixels to a LED. At 1 the LEDs themselves (unlit
// is black). From 2 on every LED is a zoom x zoom cell: with Dots a round dot
// of its colour (unlit ones dim) on a black board with a gap between dots,
// with Squares the cell filled with its colour.
QImage zoomView(const QImage& leds, int zoom, ViewStyle style);
