#include "core/Settings.h"

#include <algorithm>

const std::array<SettingDef, kSettingCount>& settingDefs() {
    static const std::array<SettingDef, kSettingCount> defs = {{
        {"NUM", 0, 255, 1, false},
        {"WIDTH", 8, 2048, 64, false},
        {"HEIGHT", 8, 1600, 16, false},
        {"COMM", 1, 255, 1, false},
        {"SCAN", 1, 16, 16, false},
        {"RG-SWAP", 0, 1, 0, true},
        {"COLOR-SWAP", 0, 1, 1, true},
        {"ADJUST", 0, 1, 0, true},
        {"TYPE", 0, kTypeCount - 1, 0, false},
        {"BPS", 0, kBpsCount - 1, 0, false},
    }};
    return defs;
}

int Settings::baudRate() const {
    return bpsTexts().value(std::clamp(BPS, 0, kBpsCount - 1)).toInt();
}

bool Settings::operator==(const Settings& other) const {
    return settingValues(*this) == settingValues(other) && PORT == other.PORT;
}

std::array<int, kSettingCount> settingValues(const Settings& s) {
    return {s.NUM,
            s.WIDTH,
            s.HEIGHT,
            s.COMM,
            s.SCAN,
            s.RG_SWAP ? 1 : 0,
            s.COLOR_SWAP ? 1 : 0,
            s.ADJUST ? 1 : 0,
            s.TYPE,
            s.BPS};
}

void applySettingValue(Settings& s, int index, long long value) {
    const SettingDef& def = settingDefs().at(static_cast<size_t>(index));
    const int clamped =
        def.isFlag ? (value == 1 ? 1 : 0)
                   : static_cast<int>(std::clamp<long long>(value, def.minimum, def.maximum));
    switch (index) {
        case kNUM:
            s.NUM = clamped;
            break;
        case kWIDTH:
            s.WIDTH = clamped;
            break;
        case kHEIGHT:
            s.HEIGHT = clamped;
            break;
        case kCOMM:
            s.COMM = clamped;
            break;
        case kSCAN:
            s.SCAN = clamped;
            break;
        case kRG_SWAP:
            s.RG_SWAP = clamped == 1;
            break;
        case kCOLOR_SWAP:
            s.COLOR_SWAP = clamped == 1;
            break;
        case kADJUST:
            s.ADJUST = clamped == 1;
            break;
        case kTYPE:
            s.TYPE = clamped;
            break;
        case kBPS:
            s.BPS = clamped;
            break;
        default:
            break;
    }
}

const QStringList& typeTexts() {
    static const QStringList texts = {
        QStringLiteral("T0:double Ji color_sell at a discount"),
        QStringLiteral("T1:double Ji color_8 top fold once"),
        QStringLiteral("T2:double Ji color_8 bottom fold once"),
        QStringLiteral("T3:double Ji color_8 top fold 3 times"),
        QStringLiteral("T4:double Ji color_8 bottom fold 3 times"),
        QStringLiteral("T5:double Ji color_8 top fold 7 times"),
        QStringLiteral("T6:double Ji color_8 bottom fold 7 times"),
        QStringLiteral("T7:double Ji color_16 top fold once"),
        QStringLiteral("T8:double Ji color_16 bottom fold once"),
        QStringLiteral("T9:double Ji color_16 top fold 3 times"),
        QStringLiteral("T10:double Ji color_16 bottom fold 3 times"),
        QStringLiteral("T11:double Ji color_16 top fold 7 times"),
        QStringLiteral("T12:double Ji color_16 bottom fold 7 times"),
        QStringLiteral("T13:monochrome_sell at a discount"),
        QStringLiteral("T14:monochrome_8 top fold once"),
        QStringLiteral("T15:monochrome_8 bottom fold once"),
        QStringLiteral("T16:monochrome_8 top fold 3 times"),
        QStringLiteral("T17:monochrome_8 bottom fold 3 times"),
        QStringLiteral("T18:monochrome_8 top fold 7 times"),
        QStringLiteral("T19:monochrome_8 bottom fold 7 times"),
        QStringLiteral("T20:monochrome_16 top fold once"),
        QStringLiteral("T21:monochrome_16 bottom fold once"),
        QStringLiteral("T22:monochrome_16 top fold 3 times"),
        QStringLiteral("T23:monochrome_16 bottom fold 3 times"),
        QStringLiteral("T24:monochrome_16 top fold 7 times"),
        QStringLiteral("T25:monochrome_16 bottom fold 7 times"),
        QStringLiteral("T26:special_double color_8 bottom fold once_top fold once"),
    };
    return texts;
}

const QStringList& bpsTexts() {
    static const QStringList texts = {
        QStringLiteral("9600"),  QStringLiteral("19200"),  QStringLiteral("38400"),
        QStringLiteral("57600"), QStringLiteral("115200"),
    };
    return texts;
}
