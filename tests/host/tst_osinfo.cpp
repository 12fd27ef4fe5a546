#include "osinfo.h"

#include "testenvironment.h"

#include <QTest>

class TestOsInfo : public QObject
{
    Q_OBJECT

private slots:
    void values();
};

void TestOsInfo::values()
{
    QCOMPARE(host::OsInfo::name(), QStringLiteral("LINUX"));
    // The web requests' "osver": no Windows version off Windows.
    QCOMPARE(host::OsInfo::windowsVersionValue(), 0);
}

TAVRI_TEST_GUILESS_MAIN(TestOsInfo)
#include "tst_osinfo.moc"
