#pragma once

#include <QString>

namespace host {

// The user's "start at login" entry for the program: the XDG autostart file
// "ostrel-tavri.desktop" in the user's configuration folder. It holds one
// command, the text that starts the program. An empty command keeps the file
// but marks it hidden, which desktops read as "present but off". Main thread
// only.
class AutostartEntry
{
public:
    // The command the entry starts (its first Exec argument, unquoted); empty
    // when the file is missing, hidden or has no command.
    static QString command();
    // Stores `command`, or switches the entry off when it is empty. Returns
    // false, with a warning, when the file cannot be written.
    static bool setCommand(const QString &command);

    static QString path();

private:
    AutostartEntry() = delete;
};

} // namespace host
