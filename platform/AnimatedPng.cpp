#include "platform/AnimatedPng.h"

#include <QBuffer>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

quint32 crc32(const QByteArray& bytes) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        c = table[(c ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

QByteArray be32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be16(quint16 value) {
    QByteArray bytes(2, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type, 4) + data;
    return be32(static_cast<quint32>(data.size())) + typed + be32(crc32(typed));
}

}  // namespace

bool AnimatedPngWriter::addFrame(const QImage& frame, int ms) {
    if (frame.isNull() || (m_frames > 0 && frame.size() != m_size)) {
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    // Quality 80 is zlib's fastest level (1): frames are many, and dots pack well.
    if (!frame.convertToFormat(QImage::Format_RGB32).save(&buffer, "PNG", 80)) {
        return false;
    }
    // The chunks of the encoded frame: IHDR is kept from the first, the
    // image data become this frame's.
    QByteArray data;
    QByteArray header;
    for (qsizetype at = kSignature.size(); at + 12 <= png.size();) {
        const auto length = static_cast<qsizetype>(qFromBigEndian<quint32>(png.constData() + at));
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IHDR") {
            header = png.mid(at, length + 12);
        } else if (type == "IDAT") {
            data += png.mid(at + 8, length);
        }
        at += length + 12;
    }
    if (m_frames == 0) {
        m_size = frame.size();
        m_head = kSignature + header;
    } else if (!m_head.endsWith(header)) {
        return false;
    }
    // Delays of up to 65.535 s in milliseconds, longer ones in hundredths.
    const int delay = std::max(0, ms);
    const bool fine = delay <= 0xFFFF;
    QByteArray control = be32(m_sequence++) + be32(static_cast<quint32>(m_size.width())) +
                         be32(static_cast<quint32>(m_size.height())) + be32(0) + be32(0) +
                         be16(static_cast<quint16>(fine ? delay : std::min(delay / 10, 0xFFFF))) +
                         be16(fine ? 1000 : 100) + QByteArray(2, '\0');  // no dispose, replace
    m_body += chunk("fcTL", control);
    if (m_frames == 0) {
        m_body += chunk("IDAT", data);
    } else {
        m_body += chunk("fdAT", be32(m_sequence++) + data);
    }
    ++m_frames;
    return true;
}

QByteArray AnimatedPngWriter::finish() {
    if (m_frames == 0) {
        return {};
    }
    const QByteArray control = be32(static_cast<quint32>(m_frames)) + be32(0);
    return m_head + chunk("acTL", control) + m_body + chunk("IEND", QByteArray());
}
