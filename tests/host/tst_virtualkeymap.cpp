#include "virtualkeymap.h"

#include "testenvironment.h"

#include <QKeyEvent>
#include <QSet>
#include <QTest>

#define XK_3270
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace {

struct Case {
    const char *name;
    quint32 keysym;
    quint32 vk;
};

// One keysym for every keyboard key of the push-to-talk key table (the
// side-specific modifiers come from keycodes, below), plus shifted and
// keypad variants that must land on the same key.
const Case kKeysymCases[] = {
    {"Cancel", XK_Cancel, 0x03},
    {"Break", XK_Break, 0x03},
    {"BackSpace", XK_BackSpace, 0x08},
    {"Tab", XK_Tab, 0x09},
    {"ISO_Left_Tab", XK_ISO_Left_Tab, 0x09},
    {"Clear", XK_Clear, 0x0C},
    {"KP_Begin", XK_KP_Begin, 0x0C},
    {"Return", XK_Return, 0x0D},
    {"KP_Enter", XK_KP_Enter, 0x0D},
    {"Pause", XK_Pause, 0x13},
    {"Caps_Lock", XK_Caps_Lock, 0x14},
    {"Escape", XK_Escape, 0x1B},
    {"space", XK_space, 0x20},
    {"Prior", XK_Prior, 0x21},
    {"Next", XK_Next, 0x22},
    {"End", XK_End, 0x23},
    {"Home", XK_Home, 0x24},
    {"KP_Home", XK_KP_Home, 0x24},
    {"Left", XK_Left, 0x25},
    {"Up", XK_Up, 0x26},
    {"Right", XK_Right, 0x27},
    {"Down", XK_Down, 0x28},
    {"Select", XK_Select, 0x29},
    {"3270_PrintScreen", XK_3270_PrintScreen, 0x2A},
    {"Execute", XK_Execute, 0x2B},
    {"Print", XK_Print, 0x2C},
    {"Sys_Req", XK_Sys_Req, 0x2C},
    {"Insert", XK_Insert, 0x2D},
    {"Delete", XK_Delete, 0x2E},
    {"KP_Delete", XK_KP_Delete, 0x2E},
    {"Help", XK_Help, 0x2F},
    {"0", XK_0, 0x30},
    {"1", XK_1, 0x31},
    {"2", XK_2, 0x32},
    {"3", XK_3, 0x33},
    {"4", XK_4, 0x34},
    {"5", XK_5, 0x35},
    {"6", XK_6, 0x36},
    {"7", XK_7, 0x37},
    {"8", XK_8, 0x38},
    {"9", XK_9, 0x39},
    {"exclam", XK_exclam, 0x31},
    {"parenright", XK_parenright, 0x30},
    {"asciicircum", XK_asciicircum, 0x36},
    {"A", XK_A, 'A'},
    {"a", XK_a, 'A'},
    {"B", XK_B, 'B'},
    {"c", XK_c, 'C'},
    {"D", XK_D, 'D'},
    {"e", XK_e, 'E'},
    {"F", XK_F, 'F'},
    {"g", XK_g, 'G'},
    {"H", XK_H, 'H'},
    {"i", XK_i, 'I'},
    {"J", XK_J, 'J'},
    {"k", XK_k, 'K'},
    {"L", XK_L, 'L'},
    {"m", XK_m, 'M'},
    {"N", XK_N, 'N'},
    {"o", XK_o, 'O'},
    {"P", XK_P, 'P'},
    {"q", XK_q, 'Q'},
    {"R", XK_R, 'R'},
    {"s", XK_s, 'S'},
    {"T", XK_T, 'T'},
    {"u", XK_u, 'U'},
    {"V", XK_V, 'V'},
    {"w", XK_w, 'W'},
    {"X", XK_X, 'X'},
    {"y", XK_y, 'Y'},
    {"Z", XK_Z, 'Z'},
    {"z", XK_z, 'Z'},
    {"KP_0", XK_KP_0, 0x60},
    {"KP_1", XK_KP_1, 0x61},
    {"KP_2", XK_KP_2, 0x62},
    {"KP_3", XK_KP_3, 0x63},
    {"KP_4", XK_KP_4, 0x64},
    {"KP_5", XK_KP_5, 0x65},
    {"KP_6", XK_KP_6, 0x66},
    {"KP_7", XK_KP_7, 0x67},
    {"KP_8", XK_KP_8, 0x68},
    {"KP_9", XK_KP_9, 0x69},
    {"KP_Multiply", XK_KP_Multiply, 0x6A},
    {"KP_Add", XK_KP_Add, 0x6B},
    {"KP_Separator", XK_KP_Separator, 0x6C},
    {"KP_Subtract", XK_KP_Subtract, 0x6D},
    {"KP_Decimal", XK_KP_Decimal, 0x6E},
    {"KP_Divide", XK_KP_Divide, 0x6F},
    {"F1", XK_F1, 0x70},
    {"F2", XK_F2, 0x71},
    {"F3", XK_F3, 0x72},
    {"F4", XK_F4, 0x73},
    {"F5", XK_F5, 0x74},
    {"F6", XK_F6, 0x75},
    {"F7", XK_F7, 0x76},
    {"F8", XK_F8, 0x77},
    {"F9", XK_F9, 0x78},
    {"F10", XK_F10, 0x79},
    {"F11", XK_F11, 0x7A},
    {"F12", XK_F12, 0x7B},
    {"F13", XK_F13, 0x7C},
    {"F14", XK_F14, 0x7D},
    {"F15", XK_F15, 0x7E},
    {"F16", XK_F16, 0x7F},
    {"F17", XK_F17, 0x80},
    {"F18", XK_F18, 0x81},
    {"F19", XK_F19, 0x82},
    {"F20", XK_F20, 0x83},
    {"F21", XK_F21, 0x84},
    {"F22", XK_F22, 0x85},
    {"F23", XK_F23, 0x86},
    {"F24", XK_F24, 0x87},
    {"Num_Lock", XK_Num_Lock, 0x90},
    {"Scroll_Lock", XK_Scroll_Lock, 0x91},
    {"Shift_L", XK_Shift_L, 0x10},
    {"Shift_R", XK_Shift_R, 0x10},
    {"Control_L", XK_Control_L, 0x11},
    {"Control_R", XK_Control_R, 0x11},
    {"Alt_L", XK_Alt_L, 0x12},
    {"Alt_R", XK_Alt_R, 0x12},
    {"ISO_Level3_Shift", XK_ISO_Level3_Shift, 0x12},
    {"semicolon", XK_semicolon, 0xBA},
    {"colon", XK_colon, 0xBA},
    {"plus", XK_plus, 0xBB},
    {"equal", XK_equal, 0xBB},
    {"comma", XK_comma, 0xBC},
    {"minus", XK_minus, 0xBD},
    {"underscore", XK_underscore, 0xBD},
    {"period", XK_period, 0xBE},
    {"slash", XK_slash, 0xBF},
    {"question", XK_question, 0xBF},
    {"grave", XK_grave, 0xC0},
    {"asciitilde", XK_asciitilde, 0xC0},
    {"bracketleft", XK_bracketleft, 0xDB},
    {"backslash", XK_backslash, 0xDC},
    {"bar", XK_bar, 0xDC},
    {"bracketright", XK_bracketright, 0xDD},
    {"apostrophe", XK_apostrophe, 0xDE},
    {"quotedbl", XK_quotedbl, 0xDE},
    {"notsign", XK_notsign, 0xDF},
    {"brokenbar", XK_brokenbar, 0xE2},
    {"3270_Play", XK_3270_Play, 0xFA},
    {"XF86FullScreen", XF86XK_FullScreen, 0xFB},
    {"unknown: eacute", XK_eacute, 0},
    {"unknown: VoidSymbol", XK_VoidSymbol, 0},
    {"unknown: 0", 0, 0},
};

const Case kKeycodeCases[] = {
    {"Control_L", 37, 0xA2},
    {"Control_R", 105, 0xA3},
    {"Shift_L", 50, 0xA0},
    {"Shift_R", 62, 0xA1},
    {"Alt_L", 64, 0xA4},
    {"Alt_R", 108, 0xA5},
    {"Super_L", 133, 0x5B},
    {"Super_R", 134, 0x5C},
    {"Escape", 9, 0x1B},
    {"A", 38, 'A'},
    {"1", 10, '1'},
    {"ISO key", 94, 0xE2},
    {"F24", 202, 0x87},
    {"unknown: 0", 0, 0},
    {"unknown: 8", 8, 0},
    {"unknown: 255", 255, 0},
    {"unknown: huge", 0x10000, 0},
};

// Keyboard codes of the push-to-talk key table (mouse buttons excluded).
QSet<quint32> keyTableKeyboardCodes()
{
    QSet<quint32> codes{3,   8,   9,   12,  13,  19,  20,  27,  108, 109, 110, 111, 144, 145, 160, 161, 162, 163,
                        164, 165, 186, 187, 188, 189, 190, 191, 192, 219, 220, 221, 222, 223, 226, 250, 251};
    for (quint32 c = 32; c <= 57; ++c)
        codes.insert(c);
    for (quint32 c = 65; c <= 90; ++c)
        codes.insert(c);
    for (quint32 c = 96; c <= 105; ++c)
        codes.insert(c);
    for (quint32 c = 112; c <= 135; ++c)
        codes.insert(c);
    return codes;
}

} // namespace

class TestVirtualKeyMap : public QObject
{
    Q_OBJECT

private slots:
    void fromNativeVirtualKey_data();
    void fromNativeVirtualKey();
    void fromScanCode_data();
    void fromScanCode();
    void everyKeyTableCodeIsReachable();
    void nativeFieldsOfKeyEvents();
};

void TestVirtualKeyMap::fromNativeVirtualKey_data()
{
    QTest::addColumn<quint32>("keysym");
    QTest::addColumn<quint32>("vk");
    for (const Case &c : kKeysymCases)
        QTest::newRow(c.name) << c.keysym << c.vk;
}

void TestVirtualKeyMap::fromNativeVirtualKey()
{
    QFETCH(quint32, keysym);
    QFETCH(quint32, vk);
    QCOMPARE(host::VirtualKeyMap::fromNativeVirtualKey(keysym), vk);
}

void TestVirtualKeyMap::fromScanCode_data()
{
    QTest::addColumn<quint32>("keycode");
    QTest::addColumn<quint32>("vk");
    for (const Case &c : kKeycodeCases)
        QTest::newRow(c.name) << c.keysym << c.vk;
}

void TestVirtualKeyMap::fromScanCode()
{
    QFETCH(quint32, keycode);
    QFETCH(quint32, vk);
    QCOMPARE(host::VirtualKeyMap::fromScanCode(keycode), vk);
}

void TestVirtualKeyMap::everyKeyTableCodeIsReachable()
{
    // Every keyboard key that push-to-talk can name must be producible by
    // key capture: side-specific modifiers from their keycode, the rest
    // from a keysym.
    QSet<quint32> missing = keyTableKeyboardCodes();
    for (const Case &c : kKeysymCases)
        missing.remove(host::VirtualKeyMap::fromNativeVirtualKey(c.keysym));
    for (quint32 keycode = 0; keycode < 256; ++keycode) {
        const quint32 vk = host::VirtualKeyMap::fromScanCode(keycode);
        if ((vk >= 0xA0 && vk <= 0xA5) || vk == 0x5B || vk == 0x5C)
            missing.remove(vk);
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("unreachable codes: %1").arg([&] {
                 QStringList l;
                 for (quint32 c : missing)
                     l << QString::number(c);
                 return l.join(' ');
             }())));
}

void TestVirtualKeyMap::nativeFieldsOfKeyEvents()
{
    // Right Control as xcb delivers it: keycode 105 and the Control_R keysym.
    // The position keeps the side; the keysym gives the generic code that
    // Windows reports in WM_KEYDOWN.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, XK_Control_R, 0x4);
    QCOMPARE(host::VirtualKeyMap::fromScanCode(press.nativeScanCode()), quint32(0xA3));
    QCOMPARE(host::VirtualKeyMap::fromNativeVirtualKey(press.nativeVirtualKey()), quint32(0x11));

    // A synthesized event without native fields maps to nothing.
    QKeyEvent synthetic(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCOMPARE(host::VirtualKeyMap::fromScanCode(synthetic.nativeScanCode()), quint32(0));
    QCOMPARE(host::VirtualKeyMap::fromNativeVirtualKey(synthetic.nativeVirtualKey()), quint32(0));
}

TAVRI_TEST_GUILESS_MAIN(TestVirtualKeyMap)
#include "tst_virtualkeymap.moc"
