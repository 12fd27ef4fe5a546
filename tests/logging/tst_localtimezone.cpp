// Local time from a zone file named once: the zone in force, a replaced file
// followed, and a TZ the user set left alone.

#include "localtimezone.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <cstdio>

namespace {

const QString kZoneInfo = QStringLiteral("/usr/share/zoneinfo/");

// The offset from UTC that local time has now, in seconds.
int localOffset()
{
    return QDateTime::currentDateTime().offsetFromUtc();
}

int zoneOffset(const char *zone)
{
    return QTimeZone(zone).offsetFromUtc(QDateTime::currentDateTimeUtc());
}

bool placeZone(const QString &file, const char *zone)
{
    // A new file in place of the old, as installing a zone does.
    QFile::remove(file + QStringLiteral(".new"));
    return QFile::copy(kZoneInfo + QLatin1String(zone), file + QStringLiteral(".new"))
           && std::rename(QFile::encodeName(file + QStringLiteral(".new")).constData(),
                          QFile::encodeName(file).constData())
                  == 0;
}

} // namespace

class TestLocalTimeZone : public QObject
{
    Q_OBJECT

private slots:
    void pinsAndFollowsTheZoneFile();
};

void TestLocalTimeZone::pinsAndFollowsTheZoneFile()
{
    QVERIFY2(QFile::exists(kZoneInfo + QStringLiteral("Asia/Tokyo")), "the zone data (tzdata) is missing");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("localtime"));
    QVERIFY(placeZone(file, "Asia/Tokyo"));

    // A TZ the user set stays as it is.
    qputenv("TZ", "UTC");
    QVERIFY(!LocalTimeZone::pin(file));
    QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
    QCOMPARE(localOffset(), 0);

    qunsetenv("TZ");
    QVERIFY(LocalTimeZone::pin(file));
    QCOMPARE(localOffset(), zoneOffset("Asia/Tokyo"));
    QVERIFY(LocalTimeZone::pin(file)); // once pinned, again is a no-op

    // A new zone put in place is followed; Tokyo and New York never share an
    // offset.
    LocalTimeZone follower;
    QSignalSpy reloaded(&follower, &LocalTimeZone::reloaded);
    // The current time that calls within one millisecond share follows the
    // zone as well, however recently it was asked for.
    QCOMPARE(LocalTimeZone::now().offsetFromUtc(), zoneOffset("Asia/Tokyo"));
    QVERIFY(placeZone(file, "America/New_York"));
    QTRY_COMPARE(localOffset(), zoneOffset("America/New_York"));
    QVERIFY(!reloaded.isEmpty());
    QCOMPARE(LocalTimeZone::now().offsetFromUtc(), zoneOffset("America/New_York"));
    QCOMPARE(LocalTimeZone::now().timeSpec(), Qt::LocalTime);

    // And again, through the watch set up anew.
    QVERIFY(placeZone(file, "Asia/Tokyo"));
    QTRY_COMPARE(localOffset(), zoneOffset("Asia/Tokyo"));
}

TAVRI_TEST_GUILESS_MAIN(TestLocalTimeZone)
#include "tst_localtimezone.moc"
