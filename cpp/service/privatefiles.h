#pragma once

#include <QString>

// Keeps the user's files private to the user.
//
// Settings, the database, chat logs and saved pictures hold private chats and
// passwords, so every file the program creates is owner-only (0600, folders
// 0700) whatever the umask, and files it finds with wider modes are narrowed.
// Links are never followed and paths owned by someone else are left alone;
// both are logged once per path.
class PrivateFiles
{
public:
    // From now on, files and folders this process creates are owner-only.
    static void restrictNewFiles();
    // Drops the group and other permission bits of path (nothing else
    // changes). True when path is owner-only now or does not exist; false for
    // a link, a path of another owner, or one whose mode cannot be changed.
    static bool narrow(const QString &path);
    // narrow() for folder and everything under it; links are neither changed
    // nor entered.
    static void narrowTree(const QString &folder);
    // narrow() for the settings file and its folder, and narrowTree() for the
    // program's data and cache folders (and narrow() for the organization's
    // folder above them).
    static void narrowProgramFiles(const QString &settingsFile);
    // True when path is a symbolic link (a dangling one included).
    static bool isLink(const QString &path);
    // When path is a link to somewhere outside the user's home folder, or to
    // a file of another owner, replaces the link with a private copy of the
    // file it points to (logged once), so that later writes stay here and
    // nothing stored is lost. A link whose target cannot be read is left.
    static void replaceForeignLink(const QString &path);

private:
    PrivateFiles() = delete;
};
