#include "service/Schedule.h"

#include <algorithm>
#include <vector>

namespace {

// Beyond the largest offset from UTC (14 h), so that the offsets looked up
// there are those before and after any change near the time.
constexpr qint64 kBeyondOffset = 15 * 3600;
// Days looked at ahead for the next change: a week and a night spanning it.
constexpr int kDaysAhead = 8;

int offsetAt(const QTimeZone& zone, qint64 utc) {
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, Qt::UTC));
}

struct Stretch {
    QDateTime start;
    QDateTime end;
    bool holds(const QDateTime& t) const { return start <= t && t < end; }
};

Stretch stretchOf(const ScheduleRule& rule, const QDate& day, const QTimeZone& zone) {
    const int end = rule.to > rule.from ? rule.to : rule.to + ScheduleRule::kDayMinutes;
    return {localInstant(day, rule.from, zone),
            localInstant(day.addDays(end / ScheduleRule::kDayMinutes),
                         end % ScheduleRule::kDayMinutes, zone)};
}

}  // namespace

QDateTime localInstant(const QDate& date, int minute, const QTimeZone& zone) {
    const qint64 wall =
        QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() + qint64(minute) * 60;
    const int before = offsetAt(zone, wall - kBeyondOffset);
    const int after = offsetAt(zone, wall + kBeyondOffset);
    const qint64 early = wall - before;  // the wall time read with the offset before
    const qint64 late = wall - after;
    const bool earlyExists = offsetAt(zone, early) == before;
    const bool lateExists = offsetAt(zone, late) == after;
    qint64 utc = early;  // skipped, or no change near: the offset before
    if (earlyExists && lateExists) {
        utc = std::min(early, late);  // twice: the first
    } else if (lateExists) {
        utc = late;
    }
    return QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
}

ScheduleChoice scheduleChoiceAt(const Sign& sign, const QDateTime& instant, const QTimeZone& zone) {
    const QDate today = instant.toTimeZone(zone).date();
    for (int i = 0; i < sign.schedule.size(); ++i) {
        const ScheduleRule& rule = sign.schedule[i];
        for (int delta = -1; delta <= 1; ++delta) {
            const QDate day = today.addDays(delta);
            if (rule.onDay(day.dayOfWeek()) && stretchOf(rule, day, zone).holds(instant)) {
                return {i, rule.list};
            }
        }
    }
    return {-1, sign.list};
}

QDateTime nextScheduleChange(const Sign& sign, const QDateTime& after, const QTimeZone& zone) {
    const QDate today = after.toTimeZone(zone).date();
    std::vector<QDateTime> edges;
    for (const ScheduleRule& rule : sign.schedule) {
        for (int delta = -1; delta <= kDaysAhead; ++delta) {
            const QDate day = today.addDays(delta);
            if (!rule.onDay(day.dayOfWeek())) {
                continue;
            }
            const Stretch stretch = stretchOf(rule, day, zone);
            for (const QDateTime& edge : {stretch.start, stretch.end}) {
                if (edge > after) {
                    edges.push_back(edge);
                }
            }
        }
    }
    std::sort(edges.begin(), edges.end());
    const ScheduleChoice now = scheduleChoiceAt(sign, after, zone);
    for (const QDateTime& edge : edges) {
        if (scheduleChoiceAt(sign, edge, zone) != now) {
            return edge;
        }
    }
    return {};
}

QDateTime nextClockSet(const Sign& sign, const QDateTime& after, const QTimeZone& zone) {
    if (sign.setClock == kClockNever) {
        return {};
    }
    const QDate today = after.toTimeZone(zone).date();
    for (int delta = -1; delta <= 2; ++delta) {
        const QDateTime at = localInstant(today.addDays(delta), sign.setClock, zone);
        if (at > after) {
            return at;
        }
    }
    return {};
}

ScheduleStep advanceSchedule(const Sign& sign, ScheduleState* state, const QDateTime& now,
                             const QTimeZone& zone) {
    ScheduleStep step;
    const bool setBack = state->latest.isValid() && now < state->latest &&
                         now.secsTo(state->latest) <= kLongestSetBackSeconds;
    if (setBack && state->sent) {
        // Hold what is shown until the clock has caught up; from there the
        // schedule goes on as if the clock had never gone back.
        step.choice = state->shown;
        step.wake = state->latest;
        return step;
    }
    if (!setBack) {
        state->latest = now;
    }
    step.choice = scheduleChoiceAt(sign, now, zone);
    step.send = !state->sent || step.choice != state->shown;
    step.wake = nextScheduleChange(sign, now, zone);
    if (setBack && (!step.wake.isValid() || step.wake > state->latest)) {
        step.wake = state->latest;
    }
    return step;
}

void recordSent(ScheduleState* state, const ScheduleChoice& choice) {
    state->sent = true;
    state->shown = choice;
}
