#include "import/TextEncoding.h"

#include <QStringDecoder>

namespace {

// Characters frequent in Chinese writing and on shop signs, simplified and
// traditional; decoded in the wrong set, a text rarely shows them.
const char kCommonSimplified[] =
    "的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着去之过家"
    "学对可里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头"
    "价特惠优欢迎光临营业元折场今新全店买卖送货电话请号点钟周销购满减";
const char kCommonTraditional[] =
    "的一是不了人我在有他這中大來上國個到說們為子和你地出道也時年得就那要下以生會自著去之過家"
    "學對可裡後小麼心多天而能好都然沒日於起還發成事只作當想看文無開手十用主行方又如前所本見經頭"
    "價特惠優歡迎光臨營業元折場今新全店買賣送貨電話請號點鐘週銷購滿減";

// Decodes strictly: false when a byte sequence is not of the set.
bool decodeStrict(const QByteArray& bytes, const char* name, QString* text) {
    QStringDecoder decoder(name);
    if (!decoder.isValid()) {
        return false;
    }
    *text = decoder.decode(bytes);
    return !decoder.hasError() && !text->contains(QChar::ReplacementCharacter);
}

// How much a decoded text looks like Chinese: its characters beyond ASCII
// must nearly all be ideographs or CJK punctuation; then the count of
// common characters decides between the two sets.
int chineseScore(const QString& text, const QString& common) {
    int beyondAscii = 0;
    int cjk = 0;
    int hits = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            continue;
        }
        ++beyondAscii;
        if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
            (u >= 0xFF00 && u <= 0xFFEF)) {
            ++cjk;
        }
        if (common.contains(c)) {
            ++hits;
        }
    }
    if (beyondAscii == 0 || cjk * 10 < beyondAscii * 9) {
        return -1;
    }
    return hits;
}

}  // namespace

QString encodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Auto:
            return QStringLiteral("auto");
        case TextEncoding::Utf8:
            return QStringLiteral("UTF-8");
        case TextEncoding::Gb18030:
            return QStringLiteral("GB18030 (GBK)");
        case TextEncoding::Big5:
            return QStringLiteral("Big5");
        case TextEncoding::Latin1:
            return QStringLiteral("Latin-1");
    }
    return {};
}

TextEncoding detectEncoding(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);  // decoding happens on conversion
    if (!utf8.hasError()) {
        return TextEncoding::Utf8;
    }
    QString gb;
    QString big5;
    const int gbScore = decodeStrict(bytes, "GB18030", &gb)
                            ? chineseScore(gb, QString::fromUtf8(kCommonSimplified))
                            : -1;
    const int big5Score = decodeStrict(bytes, "Big5", &big5)
                              ? chineseScore(big5, QString::fromUtf8(kCommonTraditional))
                              : -1;
    if (gbScore < 0 && big5Score < 0) {
        return TextEncoding::Latin1;
    }
    return big5Score > gbScore ? TextEncoding::Big5 : TextEncoding::Gb18030;
}

QString decodeWith(const QByteArray& bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Auto) {
        encoding = detectEncoding(bytes);
    }
    switch (encoding) {
        case TextEncoding::Gb18030:
            return QStringDecoder("GB18030").decode(bytes);
        case TextEncoding::Big5:
            return QStringDecoder("Big5").decode(bytes);
        case TextEncoding::Latin1:
            return QString::fromLatin1(bytes);
        case TextEncoding::Auto:
        case TextEncoding::Utf8:
            break;
    }
    return QStringDecoder(QStringDecoder::Utf8).decode(bytes);
}
