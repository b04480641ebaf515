#include "transfer/ParameterBlock.h"

#include "transfer/Frames.h"

bool ControllerParameters::operator==(const ControllerParameters& o) const {
    return encodeParameterBlock(*this) == encodeParameterBlock(o) && light == o.light &&
           scanFrequency == o.scanFrequency && type == o.type && width == o.width;
}

const QStringList& clockTexts() {
    static const QStringList texts = {QStringLiteral("7372800"), QStringLiteral("11059200"),
                                      QStringLiteral("14745600"), QStringLiteral("18432000"),
                                      QStringLiteral("22118400")};
    return texts;
}

const QStringList& parameterBpsTexts() {
    static const QStringList texts = {QStringLiteral("9600"), QStringLiteral("19200"),
                                      QStringLiteral("38400"), QStringLiteral("57600"),
                                      QStringLiteral("115200")};
    return texts;
}

const QStringList& translateTexts() {
    static const QStringList texts = {QStringLiteral("138"), QStringLiteral("ABCD")};
    return texts;
}

namespace {

void put8(QByteArray& out, qint64 value) {
    out += static_cast<char>(value & 0xFF);
}

void put16(QByteArray& out, qint64 value) {
    put8(out, value);
    put8(out, value >> 8);
}

void put32(QByteArray& out, qint64 value) {
    put16(out, value);
    put16(out, value >> 16);
}

int get8(const QByteArray& in, int offset) {
    return static_cast<uint8_t>(in[offset]);
}

int get16(const QByteArray& in, int offset) {
    return get8(in, offset) | get8(in, offset + 1) << 8;
}

qint64 get32(const QByteArray& in, int offset) {
    return static_cast<qint64>(get16(in, offset)) | static_cast<qint64>(get16(in, offset + 2))
                                                        << 16;
}

}  // namespace

QByteArray encodeParameterBlock(const ControllerParameters& p) {
    QByteArray out;
    out.reserve(kParameterBlockBytes);
    put8(out, p.num);
    put16(out, p.type);
    put16(out, p.width);
    put8(out, p.height);
    put32(out, p.clock);
    put32(out, p.bps);
    put8(out, p.scanMode);
    put8(out, p.scanFrequency);
    put8(out, p.bitSwap8 ? 0x01 : 0x00);
    put16(out, 65535 - p.light);
    put8(out, p.dataCom ? 0xFF : 0x00);
    put8(out, p.oeCom ? 0x01 : 0x00);
    put8(out, p.autoSwitch ? 0x01 : 0x00);
    put8(out, p.translate);
    put8(out, p.saturdayOff ? 0x01 : 0x00);
    put8(out, p.sundayOff ? 0x01 : 0x00);
    for (int value : {p.onHour, p.onMinute, p.onSecond, p.offHour, p.offMinute, p.offSecond}) {
        put8(out, value);
    }
    put8(out, p.english ? 0x01 : 0x00);
    return out;
}

ControllerParameters decodeParameterBlock(const QByteArray& b) {
    ControllerParameters p;
    if (b.size() < kParameterBlockBytes) {
        return p;
    }
    p.num = get8(b, 0);
    p.type = get16(b, 1);
    p.width = get16(b, 3);
    p.height = get8(b, 5);
    p.clock = get32(b, 6);
    p.bps = get32(b, 10);
    p.scanMode = get8(b, 14);
    p.scanFrequency = get8(b, 15);
    p.bitSwap8 = get8(b, 16) == 0x01;
    p.light = 65535 - get16(b, 17);
    p.dataCom = get8(b, 19) != 0;
    p.oeCom = get8(b, 20) != 0;
    p.autoSwitch = get8(b, 21) != 0;
    p.translate = get8(b, 22);
    p.saturdayOff = get8(b, 23) != 0;
    p.sundayOff = get8(b, 24) != 0;
    p.onHour = get8(b, 25);
    p.onMinute = get8(b, 26);
    p.onSecond = get8(b, 27);
    p.offHour = get8(b, 28);
    p.offMinute = get8(b, 29);
    p.offSecond = get8(b, 30);
    p.english = get8(b, 31) != 0;
    return p;
}

int lightMaximum(qint64 clock, int scanMode, int scanFrequency) {
    const qint64 product = static_cast<qint64>(scanMode) * scanFrequency;
    if (product <= 0) {
        return 0;
    }
    return static_cast<int>((clock / product - 400) / 8);
}

int defaultScanMode(int type) {
    switch (type) {
        case 0:
        case 13:
            return 16;
        case 5:
        case 6:
        case 11:
        case 12:
        case 18:
        case 19:
        case 24:
        case 25:
            return 1;
        default:
            return 4;
    }
}

ControllerParameters defaultParameters(int type) {
    ControllerParameters p;
    p.type = type;
    p.scanMode = defaultScanMode(type);
    p.light = lightMaximum(p.clock, p.scanMode, p.scanFrequency);
    return p;
}

QByteArray parameterFrame(const ControllerParameters& parameters) {
    QByteArray frame;
    appendWriteBlockHeader(frame, 0x00, 0, 0x8000, kParameterBlockBytes + 4);
    frame += encodeParameterBlock(parameters);
    frame += "para";
    appendFrameHeader(frame, 0x00, Command::SaveParameters);
    return frame;
}
