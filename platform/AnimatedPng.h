#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

// One picture of an animation and how long it stays, in milliseconds.
struct AnimationFrame {
    QImage image;
    int durationMs = 0;
};

// An animated PNG that loops for ever: every frame at the size of the first,
// each shown for its duration (rounded to hundredths of a second, at most
// 655 s). A viewer that does not animate shows the first frame. Empty when
// there is no frame.
QByteArray encodeAnimatedPng(const std::vector<AnimationFrame>& frames);
