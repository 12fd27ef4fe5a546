#include "virtualkeyinfo.h"

#include <mutex>

namespace {

QVector<VirtualKeyInfo> buildRecords()
{
    QVector<VirtualKeyInfo> keys;
    keys.reserve(126);
    auto add = [&keys](int code, const char *vkName, const char *shortName, const char *description) {
        keys.append(
            {code, QString::fromLatin1(vkName), QString::fromLatin1(shortName), QString::fromLatin1(description)});
    };

    add(1, "VK_LMOUSE", "LeftMouse", "Left Mouse Button");
    add(2, "VK_RMOUSE", "RightMouse", "Right Mouse Button");
    add(3, "VK_CANCEL", "Cancel", "Control-break processing");
    add(4, "VK_MMOUSE", "MiddleMouse", "Middle Mouse Button");
    add(5, "VK_XBUTTON1", "Mouse4", "Mouse Button 4");
    add(6, "VK_XBUTTON2", "Mouse5", "Mouse Button 5");
    add(8, "VK_BACK", "Backspace", "BACKSPACE key");
    add(9, "VK_TAB", "Tab", "TAB key");
    add(12, "VK_CLEAR", "Clear", "CLEAR key");
    add(13, "VK_RETURN", "Enter", "ENTER key");
    add(19, "VK_PAUSE", "Pause", "PAUSE key");
    add(20, "VK_CAPITAL", "Capslock", "CAPS-LOCK key");
    add(27, "VK_ESCAPE", "Esc", "ESC key");
    add(32, "VK_SPACE", "Spacebar", "SPACEBAR key");
    add(33, "VK_PRIOR", "Page-up", "PAGE UP key");
    add(34, "VK_NEXT", "Page-down", "PAGE DOWN key");
    add(35, "VK_END", "End", "END key");
    add(36, "VK_HOME", "Home", "HOME key");
    add(37, "VK_LEFT", "LeftArrow", "LEFT ARROW key");
    add(38, "VK_UP", "UpArrow", "UP ARROW key");
    add(39, "VK_RIGHT", "RightArrow", "RIGHT ARROW key");
    add(40, "VK_DOWN", "DownArrow", "DOWN ARROW key");
    add(41, "VK_SELECT", "Select", "SELECT key");
    add(42, "VK_PRINT", "Print", "PRINT key");
    add(43, "VK_EXECUTE", "Execute", "EXECUTE key");
    add(44, "VK_SNAPSHOT", "PrintScreen", "PRINT SCREEN key");
    add(45, "VK_INSERT", "Insert", "INSERT key");
    add(46, "VK_DELETE", "Del", "DEL key");
    add(47, "VK_HELP", "Help", "HELP key");

    for (int digit = 0; digit <= 9; ++digit) {
        const QString d = QString::number(digit);
        keys.append({48 + digit, QStringLiteral("VK_") + d, d, d + QStringLiteral(" key")});
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const QString l = QString(QLatin1Char(letter));
        keys.append({65 + (letter - 'A'), QStringLiteral("VK_") + l, l, l + QStringLiteral(" key")});
    }
    for (int digit = 0; digit <= 9; ++digit) {
        const QString d = QString::number(digit);
        keys.append({96 + digit, QStringLiteral("VK_NUMPAD") + d, QStringLiteral("Num ") + d,
                     QStringLiteral("Num ") + d + QStringLiteral(" key")});
    }

    add(108, "VK_SEPARATOR", "Separator", "SEPARATOR key");
    add(109, "VK_SUBTRACT", "Subtract", "SUBTRACT key");
    add(110, "VK_DECIMAL", "Decimal", "DECIMAL key");
    add(111, "VK_DIVIDE", "Divide", "DIVIDE key");

    for (int number = 1; number <= 24; ++number) {
        const QString n = QString::number(number);
        keys.append({111 + number, QStringLiteral("VK_F") + n, QStringLiteral("F") + n,
                     QStringLiteral("F") + n + QStringLiteral(" key")});
    }

    add(144, "VK_NUMLOCK", "Numlock", "NUMLOCK key");
    add(145, "VK_SCROLL", "Scroll-lock", "SCROLL LOCK key");
    add(160, "VK_LSHIFT", "LeftShift", "Left SHIFT key");
    add(161, "VK_RSHIFT", "RightShift", "Right SHIFT key");
    add(162, "VK_LCONTROL", "LeftControl", "Left CONTROL key");
    add(163, "VK_RCONTROL", "RightControl", "Right CONTROL key");
    add(164, "VK_LMENU", "LeftAlt", "Left MENU key (ALT)");
    add(165, "VK_RMENU", "RightAlt", "Right MENU key (ALT)");
    add(186, "VK_OEM1", "OEM1", "Keyboard dependent");
    add(187, "VK_OEM_PLUS", "OEM Plus", "Keyboard dependent");
    add(188, "VK_OEM_COMMA", "OEM Comma", "Keyboard dependent");
    add(189, "VK_OEM_MINUS", "OEM Minus", "Keyboard dependent");
    add(190, "VK_OEM_PERIOD", "OEM Period", "Keyboard dependent");
    add(191, "VK_OEM2", "OEM2", "Keyboard dependent");
    add(192, "VK_OEM3", "OEM3", "Keyboard dependent");
    add(219, "VK_OEM4", "OEM4", "Keyboard dependent");
    add(220, "VK_OEM5", "OEM5", "Keyboard dependent");
    add(221, "VK_OEM6", "OEM6", "Keyboard dependent");
    add(222, "VK_OEM7", "OEM7", "Keyboard dependent");
    add(223, "VK_OEM8", "OEM8", "Keyboard dependent");
    add(226, "VK_OEM102", "OEM102", "Keyboard dependent");
    add(250, "VK_PLAY", "Play", "Play key");
    add(251, "VK_ZOOM", "Zoom", "Zoom key");
    return keys;
}

QMap<int, const VirtualKeyInfo *> &mutableTable()
{
    static QMap<int, const VirtualKeyInfo *> table;
    return table;
}

} // namespace

const QVector<VirtualKeyInfo> &VirtualKeyInfo::records()
{
    static const QVector<VirtualKeyInfo> keys = buildRecords();
    return keys;
}

const VirtualKeyInfo *VirtualKeyInfo::findByCode(int code)
{
    for (const VirtualKeyInfo &key : records()) {
        if (key.code == code)
            return &key;
    }
    return nullptr;
}

int VirtualKeyInfo::codeByShortName(const QString &name)
{
    const QString wanted = name.toLower();
    for (const VirtualKeyInfo &key : records()) {
        if (key.shortName.toLower() == wanted)
            return key.code;
    }
    return 0;
}

const QMap<int, const VirtualKeyInfo *> &virtualKeyTable()
{
    return mutableTable();
}

void fillVirtualKeyTable()
{
    static std::once_flag filled;
    std::call_once(filled, [] {
        QMap<int, const VirtualKeyInfo *> &table = mutableTable();
        for (const VirtualKeyInfo &key : VirtualKeyInfo::records())
            table.insert(key.code, &key);
    });
}
