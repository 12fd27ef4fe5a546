#include "desktopentryfile.h"
#include "testenvironment.h"
#include "urlschemeregistration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestUrlSchemeRegistration : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void writesEntryAndDefaultHandler();
    void foreignMimeAppsLinesSurvive();
    void reRegisteringKeepsBytes();
    void changedIconIsCopiedAgain();
    void entryValidates();
    void unwritableConfigFails();

private:
    QString m_icon;
    const QString m_program = QStringLiteral("/opt/Ostrel Apps/tavri");
};

void TestUrlSchemeRegistration::init()
{
    QFile::remove(host::UrlSchemeRegistration::desktopEntryPath());
    QFile::remove(host::UrlSchemeRegistration::mimeAppsPath());
    QFile::remove(host::UrlSchemeRegistration::iconPath());
    m_icon = QDir(QDir::tempPath()).filePath(QStringLiteral("logo.png"));
    writeAll(m_icon, QByteArray("\x89PNG first", 10));
}

void TestUrlSchemeRegistration::writesEntryAndDefaultHandler()
{
    QVERIFY(host::UrlSchemeRegistration::registerScheme(QStringLiteral("tavri"), QStringLiteral("URL:Tavri Protocol"),
                                                        m_program, m_icon));
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QCOMPARE(host::UrlSchemeRegistration::desktopEntryPath(), dataHome + "/applications/ostrel-tavri.desktop");

    host::DesktopEntryFile entry(host::UrlSchemeRegistration::desktopEntryPath());
    QVERIFY(entry.load());
    const QString group = host::DesktopEntryFile::mainGroup();
    QCOMPARE(entry.value(group, "Type"), QStringLiteral("Application"));
    QCOMPARE(entry.value(group, "Name"), QStringLiteral("Tavri"));
    QCOMPARE(entry.value(group, "Terminal"), QStringLiteral("false"));
    QCOMPARE(entry.value(group, "Comment"), QStringLiteral("URL:Tavri Protocol"));
    QCOMPARE(entry.value(group, "MimeType"), QStringLiteral("x-scheme-handler/tavri;"));
    QCOMPARE(entry.execArgumentsOf(), QStringList({m_program, QStringLiteral("%u")}));
    QCOMPARE(entry.value(group, "Icon"), dataHome + "/icons/ostrel-tavri.png");
    QCOMPARE(readAll(host::UrlSchemeRegistration::iconPath()), readAll(m_icon));

    host::DesktopEntryFile mimeApps(host::UrlSchemeRegistration::mimeAppsPath());
    QVERIFY(mimeApps.load());
    QCOMPARE(mimeApps.value("Default Applications", "x-scheme-handler/tavri"), QStringLiteral("ostrel-tavri.desktop"));
}

void TestUrlSchemeRegistration::foreignMimeAppsLinesSurvive()
{
    writeAll(host::UrlSchemeRegistration::mimeAppsPath(),
             "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
             "[Default Applications]\ntext/html=firefox.desktop\nx-scheme-handler/tavri=old.desktop\n");
    QVERIFY(host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, m_icon));
    QCOMPARE(readAll(host::UrlSchemeRegistration::mimeAppsPath()),
             QByteArray("[Added Associations]\ntext/plain=gedit.desktop;\n\n"
                        "[Default Applications]\ntext/html=firefox.desktop\n"
                        "x-scheme-handler/tavri=ostrel-tavri.desktop\n"));
}

// Registration runs at every start; when nothing changed, nothing is rewritten,
// and actions that another part of the program added to the entry stay.
void TestUrlSchemeRegistration::reRegisteringKeepsBytes()
{
    QVERIFY(host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, m_icon));
    host::DesktopEntryFile entry(host::UrlSchemeRegistration::desktopEntryPath());
    QVERIFY(entry.load());
    entry.setValue(host::DesktopEntryFile::mainGroup(), "Actions", "quit;");
    entry.setValue("Desktop Action quit", "Name", "Exit Tavri");
    QVERIFY(entry.save());
    const QByteArray entryBytes = readAll(host::UrlSchemeRegistration::desktopEntryPath());
    const QByteArray mimeBytes = readAll(host::UrlSchemeRegistration::mimeAppsPath());
    const QDateTime stamp = QFileInfo(host::UrlSchemeRegistration::desktopEntryPath()).lastModified();

    QVERIFY(host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, m_icon));
    QCOMPARE(readAll(host::UrlSchemeRegistration::desktopEntryPath()), entryBytes);
    QCOMPARE(readAll(host::UrlSchemeRegistration::mimeAppsPath()), mimeBytes);
    QCOMPARE(QFileInfo(host::UrlSchemeRegistration::desktopEntryPath()).lastModified(), stamp);
}

void TestUrlSchemeRegistration::changedIconIsCopiedAgain()
{
    QVERIFY(host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, m_icon));
    writeAll(m_icon, "\x89PNG second");
    QVERIFY(host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, m_icon));
    QCOMPARE(readAll(host::UrlSchemeRegistration::iconPath()), QByteArray("\x89PNG second"));

    // An icon that cannot be read is reported; the rest is still registered.
    QFile::remove(host::UrlSchemeRegistration::iconPath());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot read the link icon"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not fully registered"));
    QVERIFY(!host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, "/nonexistent.png"));
    host::DesktopEntryFile entry(host::UrlSchemeRegistration::desktopEntryPath());
    QVERIFY(entry.load());
    QVERIFY(!entry.contains(host::DesktopEntryFile::mainGroup(), "Icon"));
    QCOMPARE(entry.execArgumentsOf(), QStringList({m_program, QStringLiteral("%u")}));
}

void TestUrlSchemeRegistration::entryValidates()
{
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed");
    QVERIFY(host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, m_icon));
    QProcess process;
    process.start(validator, {host::UrlSchemeRegistration::desktopEntryPath()});
    QVERIFY(process.waitForFinished(10000));
    const QByteArray output = process.readAllStandardOutput() + process.readAllStandardError();
    QVERIFY2(process.exitCode() == 0 && !output.contains("error"), output.constData());
}

void TestUrlSchemeRegistration::unwritableConfigFails()
{
    // A folder where mimeapps.list should be: the handler cannot be recorded.
    QVERIFY(QDir().mkpath(host::UrlSchemeRegistration::mimeAppsPath()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not fully registered"));
    QVERIFY(!host::UrlSchemeRegistration::registerScheme("tavri", "URL:Tavri Protocol", m_program, m_icon));
    QVERIFY(QDir(host::UrlSchemeRegistration::mimeAppsPath()).removeRecursively());
}

TAVRI_TEST_GUILESS_MAIN(TestUrlSchemeRegistration)
#include "tst_urlschemeregistration.moc"
