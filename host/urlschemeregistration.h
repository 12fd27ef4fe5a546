#pragma once

#include <QString>

namespace host {

// Makes the desktop open links of a URL scheme ("tavri:") with this program.
// It writes the program's desktop entry in the user's applications folder
// (with an icon copied beside the other user icons) and names that entry as
// the default handler of the scheme in the user's mimeapps.list, keeping every
// other line of both files. Meant to run at every start: an unchanged
// registration leaves the files byte for byte as they were. Main thread only.
class UrlSchemeRegistration
{
public:
    // Registers `scheme` for `programPath`, which the desktop then starts with
    // the link as its one argument. `description` becomes the entry's comment;
    // `iconResource` (a resource or file path; empty for none) is copied to
    // the user's icon folder when missing or changed. Returns false, with a
    // warning, when a file cannot be written; start-up goes on either way.
    static bool registerScheme(const QString &scheme, const QString &description, const QString &programPath,
                               const QString &iconResource);

    // The program's desktop entry: "ostrel-tavri.desktop" in the user's
    // applications folder. The jump list adds its actions to the same file.
    static QString desktopEntryPath();
    // The user's mimeapps.list, which names the default handlers.
    static QString mimeAppsPath();
    // Where the icon copy lives.
    static QString iconPath();

private:
    UrlSchemeRegistration() = delete;
};

} // namespace host
