// Dates and times spelled to the second, with the last second's text kept:
// a new second or a new day with the same time of day is spelled anew.

#include "secondsformat.h"
#include "testenvironment.h"

#include <QtTest>

class TestSecondsFormat : public QObject
{
    Q_OBJECT

private slots:
    void spellsEachSecondOfEachDay();
};

void TestSecondsFormat::spellsEachSecondOfEachDay()
{
    SecondsFormat clock(QStringLiteral("hh:mm:ss: "));
    SecondsFormat stamp(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    const QDate day(2024, 2, 28);
    const struct {
        QDateTime when;
        const char *clock;
        const char *stamp;
    } cases[] = {
        {QDateTime(day, QTime(23, 59, 59, 100)), "23:59:59: ", "2024/02/28 23:59:59"},
        {QDateTime(day, QTime(23, 59, 59, 999)), "23:59:59: ", "2024/02/28 23:59:59"},
        {QDateTime(day.addDays(1), QTime(23, 59, 59, 0)), "23:59:59: ", "2024/02/29 23:59:59"},
        {QDateTime(day.addDays(2), QTime(0, 0, 0, 1)), "00:00:00: ", "2024/03/01 00:00:00"},
        {QDateTime(day.addDays(2), QTime(0, 0, 1)), "00:00:01: ", "2024/03/01 00:00:01"},
        {QDateTime(day.addDays(2), QTime(0, 0, 1), Qt::UTC), "00:00:01: ", "2024/03/01 00:00:01"},
        {QDateTime(day.addYears(-1), QTime(0, 0, 1)), "00:00:01: ", "2023/02/28 00:00:01"},
    };
    for (const auto &row : cases) {
        QCOMPARE(clock.text(row.when), QString::fromLatin1(row.clock));
        QCOMPARE(stamp.text(row.when), QString::fromLatin1(row.stamp));
    }
    // A time that is none is spelled as QDateTime spells it, and is not kept.
    QCOMPARE(clock.text(QDateTime()), QDateTime().toString(QStringLiteral("hh:mm:ss: ")));
    QCOMPARE(clock.text(QDateTime(day, QTime(0, 0, 1))), QStringLiteral("00:00:01: "));
}

TAVRI_TEST_GUILESS_MAIN(TestSecondsFormat)
#include "tst_secondsformat.moc"
