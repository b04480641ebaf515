#include "pages/EffectCatalogue.h"

const QStringList& entryEffects() {
    static const QStringList effects = {
        QStringLiteral("immediately manifestation"),
        QStringLiteral("from right to left shift go into"),
        QStringLiteral("from left rightwards move to go into"),
        QStringLiteral("from bottom draw in upward"),
        QStringLiteral("from top get down to draw in"),
        QStringLiteral("from left rightwards launch"),
        QStringLiteral("from right to left launch"),
        QStringLiteral("from top get down to launch"),
        QStringLiteral("from bottom launch upward"),
        QStringLiteral("from the both sides to in the center launch"),
        QStringLiteral("from in the center launch toward the both sides"),
        QStringLiteral("from the top and bottom to in the center launch"),
        QStringLiteral("from in the center and upward bottom launch"),
        QStringLiteral("from left rightwards 100 page windows launch"),
        QStringLiteral("from right launch toward left 100 page windowses"),
        QStringLiteral("from top get down 100 page windows to launch"),
        QStringLiteral("from bottom upward 100 page windows launch"),
        QStringLiteral("from the both sides to in the center move"),
        QStringLiteral("from in the center move toward the both sides"),
        QStringLiteral("from the top and bottom to in the center move"),
        QStringLiteral("from in the center and upward bottom move"),
        QStringLiteral("from right to left pursue"),
        QStringLiteral("from left rightwards pursue"),
        QStringLiteral("from bottom pursue upward"),
        QStringLiteral("from top get down to pursue"),
        QStringLiteral("from left top the Cape launch"),
        QStringLiteral("from left descend Cape to launch"),
        QStringLiteral("from right top the Cape launch"),
        QStringLiteral("from right descend Cape to launch"),
        QStringLiteral("from left up, right descend Cape to in the center launch"),
        QStringLiteral("from left bottom, right top Cape to in the center launch"),
        QStringLiteral("from four Capes to in the center launch"),
        QStringLiteral("from in the center to left up, right descend Cape to launch"),
        QStringLiteral("from in the center to left bottom, right top the Cape launch"),
        QStringLiteral("from in the center launch toward four Capes"),
        QStringLiteral("from left top the Cape cent area launch"),
        QStringLiteral("from the center to on all sides and fan-shaped launch"),
        QStringLiteral("launch toward the on all sides circular from the center"),
        QStringLiteral("from on all sides launch toward the center circular"),
        QStringLiteral("time"),
        QStringLiteral("flicker"),
    };
    return effects;
}

const QStringList& exitEffects() {
    static const QStringList effects = {
        QStringLiteral("立即消失"),
        QStringLiteral("向左移出"),
        QStringLiteral("向右移出"),
        QStringLiteral("向上移出"),
        QStringLiteral("向下移出"),
        QStringLiteral("左右向中间闭合"),
        QStringLiteral("上下向中间闭合"),
        QStringLiteral("四周向中心闭合"),
        QStringLiteral("中间向左右打开"),
        QStringLiteral("中间向上下打开"),
        QStringLiteral("中心向四周打开"),
        QStringLiteral("从左向右逐列擦除"),
        QStringLiteral("从右向左逐列擦除"),
        QStringLiteral("从两边向中间逐列擦除"),
        QStringLiteral("从中间向两边逐列擦除"),
        QStringLiteral("从上向下逐行擦除"),
        QStringLiteral("从下向上逐行擦除"),
        QStringLiteral("从上下向中间逐行擦除"),
        QStringLiteral("从中间向上下逐行擦除"),
        QStringLiteral("隔行交错擦除"),
    };
    return effects;
}

const QStringList& addModes() {
    static const QStringList modes = {QStringLiteral("静止"), QStringLiteral("连续")};
    return modes;
}

QString unknownCodeText(int code) {
    return QStringLiteral("code %1").arg(code);
}
