#pragma once

#include "core/SignBook.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

// The schedule of a sign, evaluated: which list it shows at an instant and
// when that can next change. Pure: the clock and the time zone are given.
//
// Rule times are local wall-clock times, turned into instants day by day:
// a time that does not exist (skipped when the clocks go forward) counts
// with the offset before the change, so 02:30 on that night is 03:30; a
// time that happens twice (when they go back) is its first occurrence. A
// rule therefore covers one stretch of real time a day, never none and
// never two.

// What the schedule shows: the rule in force (its position in the sign's
// schedule) or -1 for the sign's own list.
struct ScheduleChoice {
    int rule = -1;
    QString list;

    bool operator==(const ScheduleChoice& other) const {
        return rule == other.rule && list == other.list;
    }
    bool operator!=(const ScheduleChoice& other) const { return !(*this == other); }
};

// The instant of the wall-clock time minute (0 .. 1440) of date in zone,
// by the rules above.
QDateTime localInstant(const QDate& date, int minute, const QTimeZone& zone);

// The rule in force at instant: the first whose stretch holds it.
ScheduleChoice scheduleChoiceAt(const Sign& sign, const QDateTime& instant, const QTimeZone& zone);

// The first instant after `after` at which the choice differs from the one
// at `after`; invalid when it never changes (no schedule, or one rule all
// week).
QDateTime nextScheduleChange(const Sign& sign, const QDateTime& after, const QTimeZone& zone);

// The first instant after `after` at which the sign's clock is to be set
// (its setClock time, local); invalid when setting it is off.
QDateTime nextClockSet(const Sign& sign, const QDateTime& after, const QTimeZone& zone);

// What the service remembers of a sign between wake-ups.
struct ScheduleState {
    bool sent = false;     // a list was sent since the start
    ScheduleChoice shown;  // the last one sent (when sent)
    QDateTime latest;      // the latest instant evaluated
};

// What to do at a wake-up.
struct ScheduleStep {
    bool send = false;      // send choice.list now
    ScheduleChoice choice;  // what the sign is to show
    QDateTime wake;         // when to evaluate again; invalid: only on a reload
};

// A clock set back by more than this is taken as corrected, not as set back:
// the schedule is evaluated afresh.
inline constexpr qint64 kLongestSetBackSeconds = 24 * 3600;

// Evaluates the schedule at now against what was sent. The list is to be
// sent at the start and when the rule in force changes. When the clock has
// gone back (now before the latest instant evaluated, by at most
// kLongestSetBackSeconds), the list shown stays until the clock is back
// where it was, so no list is shown twice. After a successful send call
// recordSent, so a failed one is asked for again.
ScheduleStep advanceSchedule(const Sign& sign, ScheduleState* state, const QDateTime& now,
                             const QTimeZone& zone);
void recordSent(ScheduleState* state, const ScheduleChoice& choice);
