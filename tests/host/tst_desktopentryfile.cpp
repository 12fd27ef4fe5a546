#include "desktopentryfile.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestDesktopEntryFile : public QObject
{
    Q_OBJECT

private slots:
    void execRoundTrip_data();
    void execRoundTrip();
    void execQuotingRules_data();
    void execQuotingRules();
    void foreignContentSurvives();
    void valueEscapes();
    void missingFileLoadsEmpty();
    void unwritableFolderFails();
};

void TestDesktopEntryFile::execRoundTrip_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/usr/bin/tavri";
    QTest::newRow("blank") << "/opt/My Apps/tavri";
    QTest::newRow("double quote") << "/opt/a\"b/tavri";
    QTest::newRow("dollar") << "/opt/$HOME/tavri";
    QTest::newRow("percent") << "/opt/100%u/tavri";
    QTest::newRow("backslash") << "/opt/back\\slash/tavri";
    QTest::newRow("backtick and quote") << "/opt/`it's`/tavri";
    QTest::newRow("all at once") << "/o p/\"$%\\`/t";
    QTest::newRow("relative, as typed") << "tavri";
}

// Each path goes through the Exec quoting and the key-file escaping into the
// file and comes back whole, followed by the link placeholder.
void TestDesktopEntryFile::execRoundTrip()
{
    QFETCH(QString, path);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("x.desktop"));
    host::DesktopEntryFile writer(file);
    writer.setValue(host::DesktopEntryFile::mainGroup(), QStringLiteral("Exec"),
                    host::DesktopEntryFile::execLine({path}, QStringLiteral("%u")));
    QVERIFY(writer.save());

    host::DesktopEntryFile reader(file);
    QVERIFY(reader.load());
    QCOMPARE(reader.execArgumentsOf(), QStringList({path, QStringLiteral("%u")}));
}

void TestDesktopEntryFile::execQuotingRules_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("execText"); // as the Exec value reads once unescaped
    QTest::addColumn<QString>("rawLine");  // as it stands in the file
    QTest::newRow("plain stays bare") << "/usr/bin/tavri"
                                      << "/usr/bin/tavri"
                                      << "Exec=/usr/bin/tavri";
    QTest::newRow("blank quotes") << "/a b"
                                  << "\"/a b\""
                                  << "Exec=\"/a b\"";
    QTest::newRow("percent doubles") << "/a%b"
                                     << "/a%%b"
                                     << "Exec=/a%%b";
    QTest::newRow("backslash escaped twice") << "/a\\b"
                                             << "\"/a\\\\b\""
                                             << "Exec=\"/a\\\\\\\\b\"";
    QTest::newRow("dollar escaped in quotes") << "/a$b"
                                              << "\"/a\\$b\""
                                              << "Exec=\"/a\\\\$b\"";
    QTest::newRow("empty argument") << ""
                                    << "\"\""
                                    << "Exec=\"\"";
}

void TestDesktopEntryFile::execQuotingRules()
{
    QFETCH(QString, argument);
    QFETCH(QString, execText);
    QFETCH(QString, rawLine);
    const QString exec = host::DesktopEntryFile::execLine({argument});
    QCOMPARE(exec, execText);
    host::DesktopEntryFile entry(QString{});
    entry.setValue(host::DesktopEntryFile::mainGroup(), QStringLiteral("Exec"), exec);
    QCOMPARE(entry.toByteArray(), QByteArray("[Desktop Entry]\n") + rawLine.toUtf8() + '\n');
    QCOMPARE(host::DesktopEntryFile::execArguments(exec), QStringList{argument});
}

// Comments, blank lines, unknown groups and keys, localised keys and odd
// spacing survive a load, an edit and a save, in their order.
void TestDesktopEntryFile::foreignContentSurvives()
{
    const QByteArray original = "# written by hand\n"
                                "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Name=Tavri\n"
                                "Name[de]=Tavri DE\n"
                                "X-Other = spaced value\n"
                                "\n"
                                "[Desktop Action quit]\n"
                                "Name=Exit Tavri\n"
                                "Exec=tavri -quit\n";
    host::DesktopEntryFile entry(QString{});
    entry.parse(original);
    QCOMPARE(entry.toByteArray(), original);
    QCOMPARE(entry.value(QStringLiteral("Desktop Entry"), QStringLiteral("X-Other")), QStringLiteral("spaced value"));
    QCOMPARE(entry.groups(), QStringList({QStringLiteral("Desktop Entry"), QStringLiteral("Desktop Action quit")}));

    entry.setValue(QStringLiteral("Desktop Entry"), QStringLiteral("Comment"), QStringLiteral("new"));
    entry.setValue(QStringLiteral("Desktop Entry"), QStringLiteral("Name"), QStringLiteral("Renamed"));
    const QByteArray edited = "# written by hand\n"
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Renamed\n"
                              "Name[de]=Tavri DE\n"
                              "X-Other = spaced value\n"
                              "Comment=new\n"
                              "\n"
                              "[Desktop Action quit]\n"
                              "Name=Exit Tavri\n"
                              "Exec=tavri -quit\n";
    QCOMPARE(entry.toByteArray(), edited);

    entry.remove(QStringLiteral("Desktop Entry"), QStringLiteral("Comment"));
    entry.removeGroup(QStringLiteral("Desktop Action quit"));
    QVERIFY(!entry.hasGroup(QStringLiteral("Desktop Action quit")));
    QVERIFY(!entry.contains(QStringLiteral("Desktop Entry"), QStringLiteral("Comment")));
}

void TestDesktopEntryFile::valueEscapes()
{
    const QString value = QStringLiteral(" lead\ttab\nline\\back");
    const QString raw = host::DesktopEntryFile::escapeValue(value);
    QCOMPARE(raw, QStringLiteral("\\slead\\ttab\\nline\\\\back"));
    QCOMPARE(host::DesktopEntryFile::unescapeValue(raw), value);
    // List separators escaped by other writers stay for the list reader.
    QCOMPARE(host::DesktopEntryFile::unescapeValue(QStringLiteral("a\\;b;")), QStringLiteral("a\\;b;"));
}

void TestDesktopEntryFile::missingFileLoadsEmpty()
{
    QTemporaryDir dir;
    host::DesktopEntryFile entry(dir.filePath(QStringLiteral("none/x.desktop")));
    QVERIFY(entry.load());
    QVERIFY(entry.groups().isEmpty());
    // Saving creates the folder.
    entry.setValue(QStringLiteral("G"), QStringLiteral("k"), QStringLiteral("v"));
    QVERIFY(entry.save());
    QVERIFY(QFile::exists(entry.path()));
}

void TestDesktopEntryFile::unwritableFolderFails()
{
    QTemporaryDir dir;
    // A plain file where the folder should be.
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    host::DesktopEntryFile entry(dir.filePath(QStringLiteral("blocked/x.desktop")));
    entry.setValue(QStringLiteral("G"), QStringLiteral("k"), QStringLiteral("v"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot")));
    QVERIFY(!entry.save());
}

TAVRI_TEST_GUILESS_MAIN(TestDesktopEntryFile)
#include "tst_desktopentryfile.moc"
