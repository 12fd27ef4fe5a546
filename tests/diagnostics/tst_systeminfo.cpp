// The computer's manufacturer and model from the firmware's description.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "dmisysteminfo.h"
#include "logcapture.h"
#include "testenvironment.h"

class TestSystemInfo : public QObject
{
    Q_OBJECT

private slots:
    void readsDmiFiles_data();
    void readsDmiFiles();
};

void TestSystemInfo::readsDmiFiles_data()
{
    QTest::addColumn<QVariant>("vendorFile");
    QTest::addColumn<QVariant>("productFile");
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("critical");
    // An invalid QVariant is a missing file.
    QTest::newRow("both") << QVariant("Maker Inc.\n") << QVariant("Box 7\n") << "Maker Inc."
                          << "Box 7" << false;
    QTest::newRow("no vendor") << QVariant() << QVariant("Box 7\n") << ""
                               << "Box 7" << true;
    QTest::newRow("no product") << QVariant("Maker Inc.\n") << QVariant() << "Maker Inc."
                                << "" << true;
    QTest::newRow("no folder") << QVariant() << QVariant() << ""
                               << "" << true;
    QTest::newRow("control characters") << QVariant("Ma\x1b[31mker\r\nInc.\n") << QVariant("Box\t7\x7f\n")
                                        << "Ma[31mkerInc."
                                        << "Box7" << false;
    QTest::newRow("empty values") << QVariant("") << QVariant("\n") << ""
                                  << "" << false;
}

void TestSystemInfo::readsDmiFiles()
{
    QFETCH(QVariant, vendorFile);
    QFETCH(QVariant, productFile);
    QFETCH(QString, manufacturer);
    QFETCH(QString, model);
    QFETCH(bool, critical);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("id"));
    QVERIFY(QDir().mkpath(folder));
    const auto write = [&](const char *name, const QVariant &content) {
        if (!content.isValid())
            return true;
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        return file.open(QIODevice::WriteOnly) && file.write(content.toByteArray()) >= 0;
    };
    QVERIFY(write("sys_vendor", vendorFile));
    QVERIFY(write("product_name", productFile));
    if (!vendorFile.isValid() && !productFile.isValid())
        QVERIFY(QDir(folder).removeRecursively());

    LogCapture capture;
    DmiSystemInfo info(folder);

    QCOMPARE(info.systemManufacturer(), manufacturer);
    QCOMPARE(info.systemModel(), model);
    QStringList criticals;
    for (const CapturedLine &line : capture.lines()) {
        if (line.type == QtCriticalMsg)
            criticals.append(line.message);
    }
    QCOMPARE(criticals.size(), critical ? 1 : 0);
    if (critical)
        QVERIFY2(QRegularExpression(QStringLiteral("Error code = 0x[0-9a-f]+$")).match(criticals.first()).hasMatch(),
                 qPrintable(criticals.first()));
    // The values reach QML through the properties.
    QCOMPARE(info.property("systemManufacturer").toString(), manufacturer);
    QCOMPARE(info.property("systemModel").toString(), model);
}

TAVRI_TEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
