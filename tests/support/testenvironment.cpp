#include "testenvironment.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace tavritest {

namespace {

QTemporaryDir *s_folder = nullptr;
bool s_x11 = false;

[[noreturn]] void fail(const QString &what)
{
    // No message handler or application exists yet; say it plainly and stop,
    // since running on would let the test touch the real home folder.
    std::fprintf(stderr, "TestEnvironment: %s\n", qPrintable(what));
    std::abort();
}

QString makeFolder(const QString &root, const QString &name, QFile::Permissions permissions)
{
    const QString path = QDir(root).filePath(name);
    if (!QDir().mkpath(path) || !QFile::setPermissions(path, permissions))
        fail(QStringLiteral("cannot create %1").arg(path));
    return path;
}

void setVariable(const char *name, const QString &value)
{
    qputenv(name, QFile::encodeName(value));
}

} // namespace

TestEnvironment::TestEnvironment(Display display)
{
    if (s_folder)
        fail(QStringLiteral("set up twice in one process"));

    // QDir::tempPath() is "" for a TMPDIR that does not exist.
    QString base = QDir::tempPath();
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QStringLiteral("/tmp");
    s_folder = new QTemporaryDir(QDir(base).filePath(QStringLiteral("tavritest-XXXXXX")));
    if (!s_folder->isValid())
        fail(QStringLiteral("cannot create a temporary folder in %1: %2").arg(base, s_folder->errorString()));
    m_root = QFileInfo(s_folder->path()).canonicalFilePath();

    const QFile::Permissions userOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    setVariable("HOME", makeFolder(m_root, QStringLiteral("home"), userOnly));
    setVariable("XDG_CONFIG_HOME", makeFolder(m_root, QStringLiteral("config"), userOnly));
    setVariable("XDG_DATA_HOME", makeFolder(m_root, QStringLiteral("data"), userOnly));
    setVariable("XDG_CACHE_HOME", makeFolder(m_root, QStringLiteral("cache"), userOnly));
    // Qt insists on mode 0700 for the runtime folder.
    setVariable("XDG_RUNTIME_DIR", makeFolder(m_root, QStringLiteral("runtime"), userOnly));
    setVariable("TMPDIR", makeFolder(m_root, QStringLiteral("tmp"), userOnly));

    // The program's own organization: without one, Qt reports every settings
    // write as failed (it also tries an organization-wide file it cannot use).
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));

    s_x11 = display == Display::X11 && !qEnvironmentVariableIsEmpty("DISPLAY");
    if (s_x11) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The offscreen platform has no OpenGL; Qt Quick needs its software renderer there.
        if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
            qputenv("QT_QUICK_BACKEND", "software");
    }
}

TestEnvironment::~TestEnvironment()
{
    delete s_folder;
    s_folder = nullptr;
    s_x11 = false;
}

QString TestEnvironment::root()
{
    return s_folder ? QFileInfo(s_folder->path()).canonicalFilePath() : QString();
}

bool TestEnvironment::hasX11Display()
{
    return s_x11;
}

} // namespace tavritest
