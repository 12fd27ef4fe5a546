#include "autostartentry.h"
#include "desktopentryfile.h"
#include "testenvironment.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class TestAutostartEntry : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFileReadsEmpty();
    void setThenGet_data();
    void setThenGet();
    void emptyCommandHidesEntry();
    void entryValidates();
};

void TestAutostartEntry::init()
{
    QFile::remove(host::AutostartEntry::path());
}

void TestAutostartEntry::missingFileReadsEmpty()
{
    QCOMPARE(host::AutostartEntry::path(), qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/ostrel-tavri.desktop");
    QCOMPARE(host::AutostartEntry::command(), QString());
}

void TestAutostartEntry::setThenGet_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("plain") << "/usr/bin/tavri";
    QTest::newRow("blank in path") << "/home/me/My Programs/tavri";
    QTest::newRow("quote and dollar") << "/opt/\"$x\"/tavri";
    QTest::newRow("as typed") << "tavri";
}

void TestAutostartEntry::setThenGet()
{
    QFETCH(QString, command);
    QVERIFY(host::AutostartEntry::setCommand(command));
    QCOMPARE(host::AutostartEntry::command(), command);
    host::DesktopEntryFile entry(host::AutostartEntry::path());
    QVERIFY(entry.load());
    const QString group = host::DesktopEntryFile::mainGroup();
    QCOMPARE(entry.value(group, "Type"), QStringLiteral("Application"));
    QCOMPARE(entry.value(group, "Name"), QStringLiteral("Tavri"));
    QCOMPARE(entry.value(group, "X-GNOME-Autostart-enabled"), QStringLiteral("true"));
    QVERIFY(!entry.contains(group, "Hidden"));
}

void TestAutostartEntry::emptyCommandHidesEntry()
{
    QVERIFY(host::AutostartEntry::setCommand("/usr/bin/tavri"));
    QVERIFY(host::AutostartEntry::setCommand(QString()));
    QVERIFY(QFile::exists(host::AutostartEntry::path()));
    host::DesktopEntryFile entry(host::AutostartEntry::path());
    QVERIFY(entry.load());
    QCOMPARE(entry.value(host::DesktopEntryFile::mainGroup(), "Hidden"), QStringLiteral("true"));
    QVERIFY(!entry.contains(host::DesktopEntryFile::mainGroup(), "Exec"));
    QCOMPARE(host::AutostartEntry::command(), QString());

    // Switching it on again clears the mark.
    QVERIFY(host::AutostartEntry::setCommand("/usr/bin/tavri"));
    QCOMPARE(host::AutostartEntry::command(), QStringLiteral("/usr/bin/tavri"));
}

void TestAutostartEntry::entryValidates()
{
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed");
    // Both the switched-on and the hidden form.
    for (const QString &command : {QStringLiteral("/home/me/My Programs/tavri"), QString()}) {
        QVERIFY(host::AutostartEntry::setCommand(command));
        QProcess process;
        process.start(validator, {host::AutostartEntry::path()});
        QVERIFY(process.waitForFinished(10000));
        const QByteArray output = process.readAllStandardOutput() + process.readAllStandardError();
        QVERIFY2(process.exitCode() == 0 && !output.contains("error"), output.constData());
    }
}

TAVRI_TEST_GUILESS_MAIN(TestAutostartEntry)
#include "tst_autostartentry.moc"
