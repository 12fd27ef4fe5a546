#include "machinedescription.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class TestMachineDescription : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void defaultFolderDoesNotFail();

private:
    static void write(const QString &folder, const QString &name, const QByteArray &bytes)
    {
        QFile file(QDir(folder).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

void TestMachineDescription::read_data()
{
    QTest::addColumn<QVariant>("vendorBytes"); // null: file missing
    QTest::addColumn<QVariant>("productBytes");
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("error");

    QTest::newRow("trailing newlines trimmed")
        << QVariant(QByteArray("LENOVO\n")) << QVariant(QByteArray("  20XW0055GE \n\n")) << "LENOVO"
        << "20XW0055GE" << 0;
    QTest::newRow("utf-8 and inner blanks kept")
        << QVariant(QByteArray("Fujitsu Technology Solutions\n")) << QVariant(QByteArray("ESPRIMO \xc3\x9c 9\n"))
        << "Fujitsu Technology Solutions" << QString::fromUtf8("ESPRIMO \xc3\x9c 9") << 0;
    QTest::newRow("empty files") << QVariant(QByteArray("")) << QVariant(QByteArray("")) << ""
                                 << "" << 0;
    QTest::newRow("vendor missing, model kept")
        << QVariant() << QVariant(QByteArray("Standard PC (Q35 + ICH9, 2009)\n")) << ""
        << "Standard PC (Q35 + ICH9, 2009)" << ENOENT;
    QTest::newRow("both missing") << QVariant() << QVariant() << ""
                                  << "" << ENOENT;
}

void TestMachineDescription::read()
{
    QFETCH(QVariant, vendorBytes);
    QFETCH(QVariant, productBytes);
    QFETCH(QString, manufacturer);
    QFETCH(QString, model);
    QFETCH(int, error);

    QTemporaryDir dmi;
    QVERIFY(dmi.isValid());
    if (!vendorBytes.isNull())
        write(dmi.path(), QStringLiteral("sys_vendor"), vendorBytes.toByteArray());
    if (!productBytes.isNull())
        write(dmi.path(), QStringLiteral("product_name"), productBytes.toByteArray());

    const auto result = host::MachineDescription::read(dmi.path());
    QCOMPARE(result.manufacturer, manufacturer);
    QCOMPARE(result.model, model);
    QCOMPARE(result.error, error);
}

void TestMachineDescription::defaultFolderDoesNotFail()
{
    // Whatever this machine has: values are trimmed, and an error means
    // the values it concerns are empty.
    const auto result = host::MachineDescription::read();
    QCOMPARE(result.manufacturer, result.manufacturer.trimmed());
    QCOMPARE(result.model, result.model.trimmed());
    if (!QFile::exists(host::MachineDescription::defaultDmiFolder())) {
        QCOMPARE(result.error, ENOENT);
        QVERIFY(result.manufacturer.isEmpty() && result.model.isEmpty());
    }
}

TAVRI_TEST_GUILESS_MAIN(TestMachineDescription)
#include "tst_machinedescription.moc"
