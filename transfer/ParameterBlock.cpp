#include "transfer/ParameterBlock.h"

#include "transfer/Frames.h"
#include "transfer/MemoryMap.h"

#include <QTime>

#include <algorithm>

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

const std::array<ParameterField, kParameterFieldCount>& parameterFields() {
    using P = ControllerParameters;
    using C = FieldCoding;
    constexpr qint64 k32 = 0xFFFFFFFFLL;
    static const std::array<ParameterField, kParameterFieldCount> fields = {{
        {"num", 0, 1, 1, 254, C::Number, &P::num},
        {"type", 1, 2, 0, 26, C::Number, &P::type},
        {"width", 3, 2, 16, 1024, C::Number, &P::width},
        {"high", 5, 1, 2, 255, C::Number, &P::height},
        {"clock", 6, 4, 0, k32, C::Number, &P::clock, clockTexts},
        {"bps", 10, 4, 0, k32, C::Number, &P::bps, parameterBpsTexts},
        {"scan", 14, 1, 1, 16, C::Number, &P::scanMode},
        {"freq", 15, 1, 60, 500, C::Number, &P::scanFrequency},
        {"light", 17, 2, 0, 65535, C::Complement, &P::light},
        {"swap8", 16, 1, 0, 1, C::StrictSwitch, &P::bitSwap8},
        {"datacom", 19, 1, 0, 1, C::SwitchFF, &P::dataCom},
        {"oecom", 20, 1, 0, 1, C::Switch, &P::oeCom},
        {"autoswitch", 21, 1, 0, 1, C::Switch, &P::autoSwitch},
        {"translate", 22, 1, 0, 1, C::Number, &P::translate},
        {"satoff", 23, 1, 0, 1, C::Switch, &P::saturdayOff},
        {"sunoff", 24, 1, 0, 1, C::Switch, &P::sundayOff},
        {"on", 25, 1, 0, 23, C::Number, &P::onHour},
        {"on", 26, 1, 0, 59, C::Number, &P::onMinute},
        {"on", 27, 1, 0, 59, C::Number, &P::onSecond},
        {"off", 28, 1, 0, 23, C::Number, &P::offHour},
        {"off", 29, 1, 0, 59, C::Number, &P::offMinute},
        {"off", 30, 1, 0, 59, C::Number, &P::offSecond},
        {"english", 31, 1, 0, 1, C::Switch, &P::english},
    }};
    return fields;
}

const ParameterField& parameterField(qint64 ControllerParameters::*member) {
    for (const ParameterField& field : parameterFields()) {
        if (field.member == member) {
            return field;
        }
    }
    return parameterFields().front();
}

bool ControllerParameters::operator==(const ControllerParameters& other) const {
    return std::all_of(parameterFields().begin(), parameterFields().end(),
                       [&](const ParameterField& f) { return this->*f.member == other.*f.member; });
}

QByteArray encodeParameterBlock(const ControllerParameters& p) {
    QByteArray block(kParameterBlockBytes, '\0');
    for (const ParameterField& field : parameterFields()) {
        const qint64 value = p.*field.member;
        qint64 raw = value;
        switch (field.coding) {
            case FieldCoding::Number:
                break;
            case FieldCoding::Complement:
                raw = 65535 - value;
                break;
            case FieldCoding::Switch:
            case FieldCoding::StrictSwitch:
                raw = value ? 0x01 : 0x00;
                break;
            case FieldCoding::SwitchFF:
                raw = value ? 0xFF : 0x00;
                break;
        }
        for (int i = 0; i < field.width; ++i) {
            block[field.offset + i] = static_cast<char>((raw >> (8 * i)) & 0xFF);
        }
    }
    return block;
}

ControllerParameters decodeParameterBlock(const QByteArray& block) {
    ControllerParameters p;
    if (block.size() < kParameterBlockBytes) {
        return p;
    }
    for (const ParameterField& field : parameterFields()) {
        qint64 raw = 0;
        for (int i = 0; i < field.width; ++i) {
            raw |= static_cast<qint64>(static_cast<uint8_t>(block[field.offset + i])) << (8 * i);
        }
        qint64 value = raw;
        switch (field.coding) {
            case FieldCoding::Number:
                break;
            case FieldCoding::Complement:
                value = 65535 - raw;
                break;
            case FieldCoding::Switch:
            case FieldCoding::SwitchFF:
                value = raw != 0 ? 1 : 0;
                break;
            case FieldCoding::StrictSwitch:
                value = raw == 0x01 ? 1 : 0;
                break;
        }
        p.*field.member = value;
    }
    return p;
}

QString describeParameters(const ControllerParameters& p) {
    QStringList parts;
    const auto& fields = parameterFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const ParameterField& field = fields[i];
        QString value = QString::number(p.*field.member);
        // A time: hour, then minute and second with two digits each.
        while (i + 1 < fields.size() && qstrcmp(fields[i + 1].name, field.name) == 0) {
            value += QStringLiteral(":%1").arg(p.*fields[++i].member, 2, 10, QLatin1Char('0'));
        }
        parts << QStringLiteral("%1=%2").arg(QString::fromLatin1(field.name), value);
    }
    return parts.join(QLatin1Char(' '));
}

QString assignParameters(const QStringList& assignments, ControllerParameters* p) {
    bool lightGiven = false;
    const auto& fields = parameterFields();
    for (const QString& assignment : assignments) {
        const qsizetype eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            return QStringLiteral("expected NAME=VALUE, got %1").arg(assignment);
        }
        const QString name = assignment.left(eq);
        const QString value = assignment.mid(eq + 1);
        const auto first = std::find_if(fields.begin(), fields.end(), [&](const ParameterField& f) {
            return name == QLatin1String(f.name);
        });
        if (first == fields.end()) {
            return QStringLiteral("unknown parameter %1").arg(name);
        }
        if (first + 1 != fields.end() && qstrcmp((first + 1)->name, first->name) == 0) {
            const QStringList parts = value.split(QLatin1Char(':'));
            const QTime time = QTime::fromString(
                value, parts.size() == 3 ? QStringLiteral("H:m:s") : QStringLiteral("H:m"));
            if (!time.isValid()) {
                return QStringLiteral("%1 needs a time H:MM:SS, got %2").arg(name, value);
            }
            p->*first[0].member = time.hour();
            p->*first[1].member = time.minute();
            p->*first[2].member = time.second();
            continue;
        }
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (!ok || number < first->minimum || number > first->maximum) {
            return QStringLiteral("%1 must be a number from %2 to %3, got %4")
                .arg(name)
                .arg(first->minimum)
                .arg(first->maximum)
                .arg(value);
        }
        p->*first->member = number;
        lightGiven = lightGiven || first->member == &ControllerParameters::light;
    }
    for (const ParameterField& field : fields) {
        if (field.choices && !field.choices().contains(QString::number(p->*field.member))) {
            return QStringLiteral("%1 must be one of %2")
                .arg(QString::fromLatin1(field.name), field.choices().join(QStringLiteral(", ")));
        }
    }
    if (!lightGiven) {
        p->light = lightMaximum(p->clock, p->scanMode, p->scanFrequency);
    }
    return {};
}

int lightMaximum(qint64 clock, qint64 scanMode, qint64 scanFrequency) {
    const qint64 product = scanMode * scanFrequency;
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

std::optional<int> scanModeForChosenType(int type) {
    if (type >= 0 && type <= 6) {
        return defaultScanMode(type);
    }
    return std::nullopt;
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
    appendWriteBlockHeader(frame, 0x00, kSetupBank, kSetupAddress, kParameterBlockBytes + 4);
    frame += encodeParameterBlock(parameters);
    frame += kParameterTag;
    appendFrameHeader(frame, 0x00, Command::SaveParameters);
    return frame;
}

Settings settingsAfterSave(const Settings& current, const ControllerParameters& p) {
    Settings s = current;
    applySettingValue(s, kNUM, p.num);
    applySettingValue(s, kWIDTH, p.width);
    applySettingValue(s, kHEIGHT, p.height);
    applySettingValue(s, kSCAN, p.scanMode);
    s.COLOR_SWAP = p.dataCom != 0;
    const int bps = parameterBpsTexts().indexOf(QString::number(p.bps));
    if (bps >= 0) {
        s.BPS = bps;
    }
    return s;
}

Settings settingsAfterDownload(const Settings& current, int type) {
    Settings s = settingsAfterSave(current, defaultParameters(type));
    s.TYPE = type;
    return s;
}

ParameterReply interpretParameterReply(const QByteArray& reply, const Settings& current) {
    ParameterReply result;
    result.settings = current;
    const QByteArray block = reply.mid(kFramedReplyHeaderBytes, kParameterBlockBytes);
    if (block.size() < kParameterBlockBytes) {
        return result;
    }
    Settings& s = result.settings;
    if (static_cast<uint8_t>(block[0]) == 0xFF) {
        result.defaultsReply = true;
        const int type = static_cast<uint8_t>(block[1]) | static_cast<uint8_t>(block[2]) << 8;
        if (type >= kTypeCount) {
            return result;
        }
        result.apply = true;
        result.parameters = defaultParameters(type);
        s.NUM = 1;
        s.TYPE = type;
        s.WIDTH = 64;
        s.HEIGHT = 16;
        s.BPS = 0;  // 9600, as the dialog's defaults
        s.SCAN = static_cast<int>(result.parameters.scanMode);
        return result;
    }
    result.apply = true;
    result.parameters = decodeParameterBlock(block);
    const ControllerParameters& p = result.parameters;
    // Values a setting cannot show are brought into its range; a type or a
    // rate that is not in the lists keeps the old choice.
    applySettingValue(s, kNUM, p.num);
    if (p.type >= 0 && p.type < kTypeCount) {
        s.TYPE = static_cast<int>(p.type);
    }
    applySettingValue(s, kWIDTH, p.width);
    applySettingValue(s, kHEIGHT, p.height);
    const int bps = bpsTexts().indexOf(QString::number(p.bps));
    if (bps >= 0) {
        s.BPS = bps;
    }
    applySettingValue(s, kSCAN, p.scanMode);
    return result;
}
