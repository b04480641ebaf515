#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>

// One rule of a sign's schedule, as signs.json writes it:
//   {"days": "mon-fri", "from": "07:00", "to": "10:30", "list": "breakfast.lis"}
// On the days named (local time) from `from` until `to`, the sign shows
// `list`. Without "from" the rule starts at 00:00, without "to" it ends at
// midnight; from later than to spans midnight (the rule starts on the days
// named and ends on the day after).
struct ScheduleRule {
    static constexpr int kEveryDay = 0x7f;
    static constexpr int kDayMinutes = 24 * 60;

    int days = kEveryDay;  // bit 0 Monday .. bit 6 Sunday
    int from = 0;          // minutes after midnight, 0 .. 1439
    int to = kDayMinutes;  // minutes after midnight, 1 .. 1440
    QString list;          // a .lis file; relative names resolve in the sign folder

    bool onDay(int dayOfWeek) const { return (days >> (dayOfWeek - 1)) & 1; }  // 1 Monday .. 7
    bool operator==(const ScheduleRule& other) const {
        return days == other.days && from == other.from && to == other.to && list == other.list;
    }
};

// The minute of the day at which a sign's clock is set: 03:00 unless the
// book says otherwise; kClockNever turns it off.
inline constexpr int kDefaultClockMinute = 3 * 60;
inline constexpr int kClockNever = -1;

// "mon-fri", "sat,sun", "fri-mon", "daily": day names (mon .. sun, any case)
// and ranges of them, separated by commas. Empty when good, else why not.
QString parseDays(const QString& text, int* days);
// The days as parseDays reads them back: runs of three or more days as
// ranges ("mon-fri"), others one by one ("sat,sun"); "daily" for all.
QString formatDays(int days);

// "7:00", "07:00" .. "23:59" (and "24:00" when allowEnd). Empty or why not.
QString parseMinute(const QString& text, bool allowEnd, int* minute);
QString formatMinute(int minute);  // "07:00"

// The value of "schedule": an array of rules. Empty when good, else which
// rule ("rule 2") and what is wrong with it; *rules is set only when good.
QString parseSchedule(const QJsonValue& value, QList<ScheduleRule>* rules);
QJsonArray formatSchedule(const QList<ScheduleRule>& rules);

// The value of "setClock": "HH:MM", or "off", false or null for never.
QString parseClockMinute(const QJsonValue& value, int* minute);
QJsonValue formatClockMinute(int minute);
