#include "urlschemeregistration.h"

#include "desktopentryfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace host {

namespace {

const QString kDesktopId = QStringLiteral("ostrel-tavri.desktop");

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

// Copies the icon when the copy is missing or differs. Returns false when the
// source cannot be read or the copy cannot be written.
bool updateIcon(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        qWarning() << "Cannot read the link icon" << source << ":" << in.errorString();
        return false;
    }
    const QByteArray bytes = in.readAll();
    QFile existing(target);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return true;
    existing.close();
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        qWarning() << "Cannot create the folder of" << target;
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        qWarning() << "Cannot write the link icon" << target << ":" << out.errorString();
        return false;
    }
    return true;
}

} // namespace

QString UrlSchemeRegistration::desktopEntryPath()
{
    return QDir(dataHome()).filePath(QStringLiteral("applications/") + kDesktopId);
}

QString UrlSchemeRegistration::mimeAppsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("mimeapps.list"));
}

QString UrlSchemeRegistration::iconPath()
{
    return QDir(dataHome()).filePath(QStringLiteral("icons/ostrel-tavri.png"));
}

bool UrlSchemeRegistration::registerScheme(const QString &scheme, const QString &description,
                                           const QString &programPath, const QString &iconResource)
{
    if (scheme.isEmpty() || programPath.isEmpty()) {
        qWarning() << "Link scheme not registered: scheme" << scheme << "program" << programPath;
        return false;
    }
    bool ok = true;
    const QString mimeType = QStringLiteral("x-scheme-handler/") + scheme;
    const QString group = DesktopEntryFile::mainGroup();

    DesktopEntryFile entry(desktopEntryPath());
    ok = entry.load() && ok;
    entry.setValue(group, QStringLiteral("Type"), QStringLiteral("Application"));
    entry.setValue(group, QStringLiteral("Name"), QStringLiteral("Tavri"));
    entry.setValue(group, QStringLiteral("Comment"), description);
    entry.setValue(group, QStringLiteral("Exec"), DesktopEntryFile::execLine({programPath}, QStringLiteral("%u")));
    entry.setValue(group, QStringLiteral("Terminal"), QStringLiteral("false"));
    entry.setValue(group, QStringLiteral("MimeType"), mimeType + QLatin1Char(';'));
    if (!iconResource.isEmpty() && updateIcon(iconResource, iconPath())) {
        entry.setValue(group, QStringLiteral("Icon"), iconPath());
    } else {
        if (!iconResource.isEmpty())
            ok = false;
        // Never point at an icon that is not there.
        if (!QFile::exists(iconPath()))
            entry.remove(group, QStringLiteral("Icon"));
    }
    ok = entry.saveIfChanged() && ok;

    DesktopEntryFile mimeApps(mimeAppsPath());
    if (mimeApps.load()) {
        mimeApps.setValue(QStringLiteral("Default Applications"), mimeType, kDesktopId);
        ok = mimeApps.saveIfChanged() && ok;
    } else {
        // Writing over a file we could not read would lose the user's choices.
        ok = false;
    }
    if (!ok)
        qWarning() << "Link scheme" << scheme << "not fully registered";
    return ok;
}

} // namespace host
