#include "core/SignSchedule.h"

#include <QJsonObject>
#include <QStringList>

namespace {

const char* const kDayNames[7] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};

int dayIndex(const QString& name) {
    for (int i = 0; i < 7; ++i) {
        if (name.compare(QLatin1String(kDayNames[i]), Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QString dayList() {
    QStringList names;
    for (const char* name : kDayNames) {
        names << QString::fromLatin1(name);
    }
    return names.join(QStringLiteral(", "));
}

QString readRule(const QJsonValue& value, ScheduleRule* rule) {
    if (!value.isObject()) {
        return QStringLiteral("not an object");
    }
    const QJsonObject object = value.toObject();
    for (auto key = object.begin(); key != object.end(); ++key) {
        static const QStringList known = {QStringLiteral("days"), QStringLiteral("from"),
                                          QStringLiteral("to"), QStringLiteral("list")};
        if (!known.contains(key.key())) {
            return QStringLiteral("unknown key \"%1\" (days, from, to, list)").arg(key.key());
        }
    }
    const QJsonValue days = object.value(QStringLiteral("days"));
    if (!days.isUndefined()) {
        if (!days.isString()) {
            return QStringLiteral("days must be a text such as \"mon-fri\"");
        }
        const QString error = parseDays(days.toString(), &rule->days);
        if (!error.isEmpty()) {
            return QStringLiteral("days \"%1\": %2").arg(days.toString(), error);
        }
    }
    const struct {
        const char* key;
        bool end;
        int* minute;
    } times[] = {{"from", false, &rule->from}, {"to", true, &rule->to}};
    for (const auto& time : times) {
        const QJsonValue text = object.value(QLatin1String(time.key));
        if (text.isUndefined()) {
            continue;
        }
        if (!text.isString()) {
            return QStringLiteral("%1 must be a time such as \"07:00\"")
                .arg(QLatin1String(time.key));
        }
        const QString error = parseMinute(text.toString(), time.end, time.minute);
        if (!error.isEmpty()) {
            return QStringLiteral("%1 \"%2\": %3")
                .arg(QLatin1String(time.key), text.toString(), error);
        }
    }
    if (rule->from == rule->to) {
        return QStringLiteral("from and to are the same time");
    }
    rule->list = object.value(QStringLiteral("list")).toString().trimmed();
    if (rule->list.isEmpty()) {
        return QStringLiteral("names no list (\"list\": \"NAME.lis\")");
    }
    return {};
}

}  // namespace

QString parseDays(const QString& text, int* days) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("daily"), Qt::CaseInsensitive) == 0) {
        *days = ScheduleRule::kEveryDay;
        return {};
    }
    int read = 0;
    const QStringList items = trimmed.split(QLatin1Char(','));
    for (const QString& item : items) {
        const QStringList ends = item.split(QLatin1Char('-'));
        if (ends.size() > 2 || item.trimmed().isEmpty()) {
            return QStringLiteral("\"%1\" is neither a day nor a range of days")
                .arg(item.trimmed());
        }
        int first = -1;
        int last = -1;
        for (int i = 0; i < ends.size(); ++i) {
            const int day = dayIndex(ends[i].trimmed());
            if (day < 0) {
                return QStringLiteral("unknown day \"%1\" (%2)").arg(ends[i].trimmed(), dayList());
            }
            (i == 0 ? first : last) = day;
        }
        if (last < 0) {
            last = first;
        }
        for (int day = first;; day = (day + 1) % 7) {  // "fri-mon" wraps round the week
            read |= 1 << day;
            if (day == last) {
                break;
            }
        }
    }
    *days = read;
    return {};
}

QString formatDays(int days) {
    if ((days & ScheduleRule::kEveryDay) == ScheduleRule::kEveryDay) {
        return QStringLiteral("daily");
    }
    QStringList parts;
    for (int day = 0; day < 7;) {
        if (!((days >> day) & 1)) {
            ++day;
            continue;
        }
        int end = day;
        while (end + 1 < 7 && ((days >> (end + 1)) & 1)) {
            ++end;
        }
        if (end - day >= 2) {
            parts << QStringLiteral("%1-%2").arg(QLatin1String(kDayNames[day]),
                                                 QLatin1String(kDayNames[end]));
        } else {
            for (int i = day; i <= end; ++i) {
                parts << QString::fromLatin1(kDayNames[i]);
            }
        }
        day = end + 1;
    }
    return parts.join(QLatin1Char(','));
}

QString parseMinute(const QString& text, bool allowEnd, int* minute) {
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    bool hoursOk = false;
    bool minutesOk = false;
    const int hours = parts.value(0).toInt(&hoursOk);
    const int minutes = parts.value(1).toInt(&minutesOk);
    if (parts.size() != 2 || !hoursOk || !minutesOk || parts[1].size() != 2 ||
        parts[0].size() > 2) {
        return QStringLiteral("not a time HH:MM");
    }
    const int value = hours * 60 + minutes;
    if (hours < 0 || minutes < 0 || minutes > 59 ||
        value > (allowEnd ? ScheduleRule::kDayMinutes : ScheduleRule::kDayMinutes - 1)) {
        return allowEnd ? QStringLiteral("not between 00:00 and 24:00")
                        : QStringLiteral("not between 00:00 and 23:59");
    }
    *minute = value;
    return {};
}

QString formatMinute(int minute) {
    return QStringLiteral("%1:%2")
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

QString parseSchedule(const QJsonValue& value, QList<ScheduleRule>* rules) {
    if (!value.isArray()) {
        return QStringLiteral("schedule must be a list of rules");
    }
    QList<ScheduleRule> read;
    for (const QJsonValue& item : value.toArray()) {
        ScheduleRule rule;
        const QString error = readRule(item, &rule);
        if (!error.isEmpty()) {
            return QStringLiteral("schedule rule %1: %2").arg(read.size() + 1).arg(error);
        }
        read << rule;
    }
    *rules = read;
    return {};
}

QJsonArray formatSchedule(const QList<ScheduleRule>& rules) {
    QJsonArray array;
    for (const ScheduleRule& rule : rules) {
        QJsonObject object;
        object.insert(QStringLiteral("days"), formatDays(rule.days));
        if (rule.from != 0) {
            object.insert(QStringLiteral("from"), formatMinute(rule.from));
        }
        if (rule.to != ScheduleRule::kDayMinutes) {
            object.insert(QStringLiteral("to"), formatMinute(rule.to));
        }
        object.insert(QStringLiteral("list"), rule.list);
        array.append(object);
    }
    return array;
}

QString parseClockMinute(const QJsonValue& value, int* minute) {
    if (value.isNull() || (value.isBool() && !value.toBool()) ||
        (value.isString() &&
         value.toString().trimmed().compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)) {
        *minute = kClockNever;
        return {};
    }
    if (!value.isString()) {
        return QStringLiteral("setClock must be a time such as \"03:00\", or \"off\"");
    }
    const QString error = parseMinute(value.toString(), false, minute);
    return error.isEmpty()
               ? QString()
               : QStringLiteral("setClock \"%1\": %2, or \"off\"").arg(value.toString(), error);
}

QJsonValue formatClockMinute(int minute) {
    return minute == kClockNever ? QJsonValue(QStringLiteral("off"))
                                 : QJsonValue(formatMinute(minute));
}
