#include "transfer/SetupImage.h"

#include "platform/AtomicFile.h"
#include "transfer/Frames.h"
#include "transfer/MemoryMap.h"

#include <QDir>
#include <QFileInfo>

SetupImage loadSetupImage(const QString& folder, int type) {
    SetupImage setup;
    const QString path = QDir(folder).filePath(QStringLiteral("setup%1").arg(type));
    const QFileInfo info(path);
    if (!info.isFile()) {
        setup.error = QStringLiteral("can not find this type!");
        return setup;
    }
    // Two file bytes make one image byte; a file that would overfill the
    // image, or ends in half a pair, is refused before anything is sent.
    if (info.size() > 2 * kSetupImageBytes) {
        setup.error = QStringLiteral("%1 is %2 bytes: a setup file holds at most %3.")
                          .arg(info.fileName())
                          .arg(info.size())
                          .arg(2 * kSetupImageBytes);
        return setup;
    }
    if (info.size() % 2 != 0) {
        setup.error = QStringLiteral("%1 ends in half a byte pair (%2 bytes): it cannot be read.")
                          .arg(info.fileName())
                          .arg(info.size());
        return setup;
    }
    QByteArray pairs;
    QString error;
    if (!readWholeFile(path, 2 * kSetupImageBytes, &pairs, &error)) {
        setup.error = QStringLiteral("%1: %2").arg(info.fileName(), error);
        return setup;
    }
    setup.image = setupImageFromPairs(pairs);
    return setup;
}

QByteArray setupImageFromPairs(const QByteArray& pairs) {
    QByteArray image(kSetupImageBytes, '\xFF');
    for (qsizetype i = 0; i < kSetupImageBytes && 2 * i + 1 < pairs.size(); ++i) {
        image[i] = pairs[2 * i + 1];
    }
    return image;
}

uint8_t setupCheckByte(const QByteArray& imageAndTag) {
    unsigned sum = 0;
    for (const char byte : imageAndTag) {
        sum += static_cast<uint8_t>(byte);
    }
    return static_cast<uint8_t>(0xFF - (sum & 0xFF));
}

QByteArray downloadFrame(const QByteArray& image) {
    QByteArray frame;
    appendWriteBlockHeader(frame, 0x00, kSetupBank, kSetupAddress, kSetupImageBytes + 4);
    const QByteArray imageAndTag = image.left(kSetupImageBytes) + kDownloadTag;
    frame += imageAndTag;
    frame += static_cast<char>(setupCheckByte(imageAndTag));
    appendFrameHeader(frame, 0x00, Command::SetupDownload);
    return frame;
}
