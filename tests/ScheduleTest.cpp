#include "TestSupport.h"

#include "core/SignBook.h"
#include "service/Schedule.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin(QByteArrayLiteral("Europe/Berlin"));

QDateTime utc(const char* text) {
    QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    t.setTimeZone(QTimeZone::utc());
    return t;
}

Sign signWith(const char* schedule) {
    SignBook book;
    const QByteArray text = QByteArrayLiteral(
                                "{\"signs\": [{\"name\": \"Shop\", \"list\": \"own.lis\", "
                                "\"schedule\": ") +
                            schedule + "}]}";
    const QString error = parseSignBook(text, &book);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return book.signs.value(0);
}

}  // namespace

// Schedules read and written: the errors name the sign and the rule, and a
// book without them is written as before.
TEST(Schedule, ReadsWritesAndRefuses) {
    const struct {
        const char* sign;
        const char* error;  // empty: read
    } cases[] = {
        {R"("schedule": [{"days": "mon-fri", "from": "07:00", "to": "10:30", "list": "b.lis"}])",
         ""},
        {R"("schedule": [{"days": "sat,sun", "list": "w.lis"}], "setClock": "off")", ""},
        {R"("schedule": [{"days": "fri-mon", "from": "22:00", "to": "02:00", "list": "n.lis"}])",
         ""},
        {R"("setClock": null)", ""},
        {R"("setClock": "04:15")", ""},
        {R"("schedule": [{"list": "a.lis"}, {"days": "mon-fry", "list": "b.lis"}])",
         "sign \"Shop\": schedule rule 2: days \"mon-fry\": unknown day \"fry\" (mon, tue, wed, "
         "thu, fri, sat, sun)"},
        {R"("schedule": [{"days": "mon", "from": "7:5", "list": "b.lis"}])",
         "sign \"Shop\": schedule rule 1: from \"7:5\": not a time HH:MM"},
        {R"("schedule": [{"days": "mon", "to": "24:30", "list": "b.lis"}])",
         "sign \"Shop\": schedule rule 1: to \"24:30\": not between 00:00 and 24:00"},
        {R"("schedule": [{"days": "mon", "from": "08:00", "to": "08:00", "list": "b.lis"}])",
         "sign \"Shop\": schedule rule 1: from and to are the same time"},
        {R"("schedule": [{"days": "mon"}])",
         "sign \"Shop\": schedule rule 1: names no list (\"list\": \"NAME.lis\")"},
        {R"("schedule": [{"day": "mon", "list": "b.lis"}])",
         "sign \"Shop\": schedule rule 1: unknown key \"day\" (days, from, to, list)"},
        {R"("schedule": {"days": "mon"})", "sign \"Shop\": schedule must be a list of rules"},
        {R"("setClock": "25:00")",
         "sign \"Shop\": setClock \"25:00\": not between 00:00 and 23:59, or \"off\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sign);
        const QByteArray text =
            QByteArrayLiteral("{\"signs\": [{\"name\": \"Shop\", ") + c.sign + "}]}";
        SignBook book;
        EXPECT_EQ(parseSignBook(text, &book), QString::fromUtf8(c.error));
        if (*c.error) {
            continue;
        }
        SignBook again;
        ASSERT_EQ(parseSignBook(formatSignBook(book), &again), QString());
        EXPECT_EQ(again.signs, book.signs);
        EXPECT_EQ(formatSignBook(again), formatSignBook(book));
    }
    SignBook plain;
    ASSERT_EQ(parseSignBook(R"({"signs": [{"name": "Shop", "list": "own.lis"}]})", &plain),
              QString());
    EXPECT_EQ(plain.signs[0].setClock, kDefaultClockMinute);
    const QByteArray written = formatSignBook(plain);
    EXPECT_FALSE(written.contains("schedule"));
    EXPECT_FALSE(written.contains("setClock"));
    const Sign off = signWith(R"([], "setClock": false)");
    EXPECT_EQ(off.setClock, kClockNever);
}

// The rule in force and the next change, at given instants in Berlin:
// first match wins, midnight spans, and both changes of the clocks.
TEST(Schedule, RuleInForceAndNextChange) {
    const Sign sign = signWith(R"([
        {"days": "mon-fri", "from": "07:00", "to": "10:30", "list": "breakfast.lis"},
        {"days": "sat", "list": "weekend.lis"},
        {"days": "daily", "from": "22:00", "to": "01:00", "list": "night.lis"},
        {"days": "daily", "from": "02:15", "to": "02:45", "list": "small.lis"}])");
    const struct {
        const char* at;  // UTC
        const char* list;
        const char* next;  // UTC; empty: never
    } cases[] = {
        // Monday 7 December 2026, CET (UTC+1).
        {"2026-12-07T05:59:59", "own.lis", "2026-12-07T06:00:00"},
        {"2026-12-07T06:00:00", "breakfast.lis", "2026-12-07T09:30:00"},
        {"2026-12-07T09:30:00", "own.lis", "2026-12-07T21:00:00"},
        {"2026-12-07T21:00:00", "night.lis", "2026-12-08T00:00:00"},
        {"2026-12-08T00:30:00", "own.lis", "2026-12-08T01:15:00"},
        // Friday night into Saturday: the night rule (third) yields to the
        // weekend (second) at midnight, and takes over again when it ends.
        {"2026-12-11T21:30:00", "night.lis", "2026-12-11T23:00:00"},
        {"2026-12-11T23:00:00", "weekend.lis", "2026-12-12T23:00:00"},
        // Sunday 29 March 2026: 02:00 CET becomes 03:00 CEST. 02:15..02:45
        // do not exist and count as 03:15..03:45 CEST (01:15..01:45 UTC).
        {"2026-03-29T00:59:00", "own.lis", "2026-03-29T01:15:00"},
        {"2026-03-29T01:15:00", "small.lis", "2026-03-29T01:45:00"},
        {"2026-03-29T01:45:00", "own.lis", "2026-03-29T20:00:00"},
        // Sunday 25 October 2026: 03:00 CEST becomes 02:00 CET; 02:15 is
        // its first occurrence (00:15 UTC); the second (01:15 UTC) shows
        // nothing new.
        {"2026-10-25T00:14:00", "own.lis", "2026-10-25T00:15:00"},
        {"2026-10-25T00:15:00", "small.lis", "2026-10-25T00:45:00"},
        {"2026-10-25T01:20:00", "own.lis", "2026-10-25T21:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        const QDateTime at = utc(c.at);
        EXPECT_EQ(scheduleChoiceAt(sign, at, kBerlin).list, QString::fromLatin1(c.list));
        const QDateTime next = nextScheduleChange(sign, at, kBerlin);
        EXPECT_EQ(next, utc(c.next)) << next.toString(Qt::ISODate).toStdString();
    }
    Sign none = sign;
    none.schedule.clear();
    EXPECT_FALSE(nextScheduleChange(none, utc("2026-12-07T06:00:00"), kBerlin).isValid());
    EXPECT_EQ(nextClockSet(sign, utc("2026-03-28T03:00:00"), kBerlin), utc("2026-03-29T01:00:00"));
    none.setClock = kClockNever;
    EXPECT_FALSE(nextClockSet(none, utc("2026-03-28T03:00:00"), kBerlin).isValid());
}

// The service's wake-ups: each change is sent once, at its time, through
// both changes of the clocks; a clock set back an hour repeats nothing.
TEST(Schedule, WakeUpsNeitherSkipNorRepeat) {
    const Sign sign = signWith(R"([
        {"days": "daily", "from": "02:15", "to": "02:45", "list": "small.lis"},
        {"days": "daily", "from": "10:00", "to": "10:30", "list": "late.lis"}])");
    const struct {
        const char* now;   // UTC, one wake-up after another
        const char* sent;  // the list sent then; empty: none
        const char* wake;  // UTC
    } runs[][6] = {
        {// Spring: every change once.
         {"2026-03-29T00:00:00", "own.lis", "2026-03-29T01:15:00"},
         {"2026-03-29T01:15:00", "small.lis", "2026-03-29T01:45:00"},
         {"2026-03-29T01:45:00", "own.lis", "2026-03-29T08:00:00"},
         {"2026-03-29T07:59:59", "", "2026-03-29T08:00:00"},  // woke early
         {"2026-03-29T08:00:00", "late.lis", "2026-03-29T08:30:00"},
         {"2026-03-29T08:30:00", "own.lis", "2026-03-30T00:15:00"}},
        {// Autumn: 02:15 local happens twice; shown once.
         {"2026-10-25T00:00:00", "own.lis", "2026-10-25T00:15:00"},
         {"2026-10-25T00:15:00", "small.lis", "2026-10-25T00:45:00"},
         {"2026-10-25T00:45:00", "own.lis", "2026-10-25T09:00:00"},
         {"2026-10-25T01:15:00", "", "2026-10-25T09:00:00"},  // the second 02:15
         {"2026-10-25T09:00:00", "late.lis", "2026-10-25T09:30:00"},
         {"2026-10-25T09:30:00", "own.lis", "2026-10-26T01:15:00"}},
        {// 10:31 CET, then the clock is set back to 09:31 and runs on: the
         // late list is not shown again; the schedule goes on after 10:31.
         {"2026-12-07T09:00:00", "late.lis", "2026-12-07T09:30:00"},
         {"2026-12-07T09:31:00", "own.lis", "2026-12-08T01:15:00"},
         {"2026-12-07T08:31:00", "", "2026-12-07T09:31:00"},
         {"2026-12-07T09:05:00", "", "2026-12-07T09:31:00"},
         {"2026-12-07T09:31:00", "", "2026-12-08T01:15:00"},
         {"2026-12-08T01:15:00", "small.lis", "2026-12-08T01:45:00"}},
    };
    for (const auto& run : runs) {
        ScheduleState state;
        for (const auto& wake : run) {
            SCOPED_TRACE(wake.now);
            const ScheduleStep step = advanceSchedule(sign, &state, utc(wake.now), kBerlin);
            EXPECT_EQ(step.send ? step.choice.list : QString(), QString::fromLatin1(wake.sent));
            EXPECT_EQ(step.wake, utc(wake.wake)) << step.wake.toString(Qt::ISODate).toStdString();
            if (step.send) {
                recordSent(&state, step.choice);
            }
        }
    }
    // A send that failed is asked for again; a clock set back more than a
    // day is a correction and evaluated afresh.
    ScheduleState state;
    EXPECT_TRUE(advanceSchedule(sign, &state, utc("2026-12-07T09:00:00"), kBerlin).send);
    EXPECT_TRUE(advanceSchedule(sign, &state, utc("2026-12-07T09:10:00"), kBerlin).send);
    recordSent(&state, scheduleChoiceAt(sign, utc("2026-12-07T09:10:00"), kBerlin));
    const ScheduleStep corrected =
        advanceSchedule(sign, &state, utc("2026-12-01T12:00:00"), kBerlin);
    EXPECT_TRUE(corrected.send);
    EXPECT_EQ(corrected.choice.list, QStringLiteral("own.lis"));
}
