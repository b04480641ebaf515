#include "app/DisplayNames.h"

#include "pages/EffectCatalogue.h"

#include <QCoreApplication>

#include <iterator>

namespace {

const char* const kTypes[] = {
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, no fold"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/8 scan, folded once at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/8 scan, folded once at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/8 scan, folded 3 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/8 scan, folded 3 times at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/8 scan, folded 7 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/8 scan, folded 7 times at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/16 scan, folded once at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/16 scan, folded once at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/16 scan, folded 3 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/16 scan, folded 3 times at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/16 scan, folded 7 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "dual colour, 1/16 scan, folded 7 times at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, no fold"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/8 scan, folded once at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/8 scan, folded once at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/8 scan, folded 3 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/8 scan, folded 3 times at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/8 scan, folded 7 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/8 scan, folded 7 times at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/16 scan, folded once at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/16 scan, folded once at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/16 scan, folded 3 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/16 scan, folded 3 times at the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/16 scan, folded 7 times at the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "single colour, 1/16 scan, folded 7 times at the bottom"),
    QT_TRANSLATE_NOOP(
        "DisplayNames",
        "special dual colour, 1/8 scan, folded once at the bottom and once at the top"),
};

const char* const kEffects[] = {
    QT_TRANSLATE_NOOP("DisplayNames", "appear at once"),
    QT_TRANSLATE_NOOP("DisplayNames", "move in from the right"),
    QT_TRANSLATE_NOOP("DisplayNames", "move in from the left"),
    QT_TRANSLATE_NOOP("DisplayNames", "move in from the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "move in from the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from left to right"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from right to left"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from top to bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from bottom to top"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from both sides to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the centre to both sides"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from top and bottom to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the centre to top and bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "blinds from left to right"),
    QT_TRANSLATE_NOOP("DisplayNames", "blinds from right to left"),
    QT_TRANSLATE_NOOP("DisplayNames", "blinds from top to bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "blinds from bottom to top"),
    QT_TRANSLATE_NOOP("DisplayNames", "move in from both sides to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "move out from the centre to both sides"),
    QT_TRANSLATE_NOOP("DisplayNames", "move in from top and bottom to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "move out from the centre to top and bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "chase in from the right"),
    QT_TRANSLATE_NOOP("DisplayNames", "chase in from the left"),
    QT_TRANSLATE_NOOP("DisplayNames", "chase in from the bottom"),
    QT_TRANSLATE_NOOP("DisplayNames", "chase in from the top"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the top-left corner"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the bottom-left corner"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the top-right corner"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the bottom-right corner"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from top-left and bottom-right to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from bottom-left and top-right to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the four corners to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the centre to top-left and bottom-right"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the centre to bottom-left and top-right"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the centre to the four corners"),
    QT_TRANSLATE_NOOP("DisplayNames", "wipe from the top-left corner by areas"),
    QT_TRANSLATE_NOOP("DisplayNames", "fan out from the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "circle out from the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "circle in to the centre"),
    QT_TRANSLATE_NOOP("DisplayNames", "clock"),
    QT_TRANSLATE_NOOP("DisplayNames", "flash"),
};

}  // namespace

QString moduleTypeName(int type) {
    if (type < 0 || type >= static_cast<int>(std::size(kTypes))) {
        return QStringLiteral("T%1").arg(type);
    }
    return QStringLiteral("T%1 — %2")
        .arg(type)
        .arg(QCoreApplication::translate("DisplayNames", kTypes[type]));
}

QString effectName(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kEffects))) {
        return unknownCodeText(code);
    }
    return QStringLiteral("%1 — %2").arg(code).arg(
        QCoreApplication::translate("DisplayNames", kEffects[code]));
}
