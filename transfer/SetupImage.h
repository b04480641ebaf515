#pragma once

#include <QByteArray>
#include <QString>

// A module type's setup image: 16384 bytes, sent by Download.
constexpr int kSetupImageBytes = 16384;

struct SetupImage {
    QByteArray image;  // 16384 bytes
    QString error;     // "can not find this type!" or why the file is refused
};

// The image of module type `type` from folder/"setup" + type: 0xFF
// everywhere, then the second byte of each pair of the file in turn.
SetupImage loadSetupImage(const QString& folder, int type);

// The image made from a setup file's bytes (at most 32768, an even count).
QByteArray setupImageFromPairs(const QByteArray& pairs);

// 0xFF minus the low 8 bits of the sum of the image and the tag "dow".
uint8_t setupCheckByte(const QByteArray& imageAndTag);

// The download frame, 16405 bytes, controller number 0x00:
//      0     11  write-block header: bank 0, address 0x8000, length 16388
//     11  16384  the image
//  16395      3  "dow"
//  16398      1  the check byte
//  16399      6  frame header with command 0x03 (setup download)
QByteArray downloadFrame(const QByteArray& image);
