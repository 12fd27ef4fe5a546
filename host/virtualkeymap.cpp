#include "virtualkeymap.h"

#include <QHash>

#define XK_3270
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace host {

namespace {

struct Pair {
    quint32 from;
    quint32 vk;
};

// XKB keycode (evdev + 8) to the virtual key of that position on a US layout.
constexpr Pair kKeycodes[] = {
    {9, 0x1B},                                                      // Escape
    {10, 0x31},  {11, 0x32},  {12, 0x33},  {13, 0x34},  {14, 0x35}, // 1-5
    {15, 0x36},  {16, 0x37},  {17, 0x38},  {18, 0x39},  {19, 0x30}, // 6-0
    {20, 0xBD},  {21, 0xBB},  {22, 0x08},  {23, 0x09},              // - = BackSpace Tab
    {24, 'Q'},   {25, 'W'},   {26, 'E'},   {27, 'R'},   {28, 'T'},   {29, 'Y'},  {30, 'U'},
    {31, 'I'},   {32, 'O'},   {33, 'P'},   {34, 0xDB},  {35, 0xDD},  {36, 0x0D}, {37, 0xA2}, // [ ] Return Control_L
    {38, 'A'},   {39, 'S'},   {40, 'D'},   {41, 'F'},   {42, 'G'},   {43, 'H'},  {44, 'J'},
    {45, 'K'},   {46, 'L'},   {47, 0xBA},  {48, 0xDE},  {49, 0xC0},  {50, 0xA0}, {51, 0xDC}, // ; ' ` Shift_L backslash
    {52, 'Z'},   {53, 'X'},   {54, 'C'},   {55, 'V'},   {56, 'B'},   {57, 'N'},  {58, 'M'},
    {59, 0xBC},  {60, 0xBE},  {61, 0xBF},  {62, 0xA1},               // , . / Shift_R
    {63, 0x6A},  {64, 0xA4},  {65, 0x20},  {66, 0x14},               // KP* Alt_L space Caps_Lock
    {67, 0x70},  {68, 0x71},  {69, 0x72},  {70, 0x73},  {71, 0x74},  // F1-F5
    {72, 0x75},  {73, 0x76},  {74, 0x77},  {75, 0x78},  {76, 0x79},  // F6-F10
    {77, 0x90},  {78, 0x91},                                         // Num_Lock Scroll_Lock
    {79, 0x67},  {80, 0x68},  {81, 0x69},  {82, 0x6D},               // KP7 KP8 KP9 KP-
    {83, 0x64},  {84, 0x65},  {85, 0x66},  {86, 0x6B},               // KP4 KP5 KP6 KP+
    {87, 0x61},  {88, 0x62},  {89, 0x63},  {90, 0x60},  {91, 0x6E},  // KP1 KP2 KP3 KP0 KP.
    {94, 0xE2},  {95, 0x7A},  {96, 0x7B},                            // ISO key F11 F12
    {104, 0x0D}, {105, 0xA3}, {106, 0x6F}, {107, 0x2C}, {108, 0xA5}, // KP_Enter Control_R KP/ Print Alt_R
    {110, 0x24}, {111, 0x26}, {112, 0x21}, {113, 0x25}, {114, 0x27}, // Home Up Prior Left Right
    {115, 0x23}, {116, 0x28}, {117, 0x22}, {118, 0x2D}, {119, 0x2E}, // End Down Next Insert Delete
    {127, 0x13}, {129, 0x6C},                                        // Pause KP_Separator
    {133, 0x5B}, {134, 0x5C}, {135, 0x5D},                           // Super_L Super_R Menu
    {191, 0x7C}, {192, 0x7D}, {193, 0x7E}, {194, 0x7F}, {195, 0x80}, // F13-F17
    {196, 0x81}, {197, 0x82}, {198, 0x83}, {199, 0x84}, {200, 0x85}, // F18-F22
    {201, 0x86}, {202, 0x87},                                        // F23 F24
};

// Keysyms that are not covered by the ranges in fromNativeVirtualKey.
constexpr Pair kKeysyms[] = {
    {XK_Shift_L, 0x10},
    {XK_Shift_R, 0x10},
    {XK_Control_L, 0x11},
    {XK_Control_R, 0x11},
    {XK_Alt_L, 0x12},
    {XK_Alt_R, 0x12},
    {XK_Meta_L, 0x12},
    {XK_Meta_R, 0x12},
    {XK_ISO_Level3_Shift, 0x12},
    {XK_Super_L, 0x5B},
    {XK_Super_R, 0x5C},
    {XK_Menu, 0x5D},

    {XK_Cancel, 0x03},
    {XK_Break, 0x03},
    {XK_BackSpace, 0x08},
    {XK_Tab, 0x09},
    {XK_ISO_Left_Tab, 0x09},
    {XK_Clear, 0x0C},
    {XK_Return, 0x0D},
    {XK_Pause, 0x13},
    {XK_Caps_Lock, 0x14},
    {XK_Escape, 0x1B},
    {XK_space, 0x20},
    {XK_Prior, 0x21},
    {XK_Next, 0x22},
    {XK_End, 0x23},
    {XK_Home, 0x24},
    {XK_Left, 0x25},
    {XK_Up, 0x26},
    {XK_Right, 0x27},
    {XK_Down, 0x28},
    {XK_Select, 0x29},
    {XK_3270_PrintScreen, 0x2A},
    {XK_Execute, 0x2B},
    {XK_Print, 0x2C},
    {XK_Sys_Req, 0x2C},
    {XK_Insert, 0x2D},
    {XK_Delete, 0x2E},
    {XK_Help, 0x2F},
    {XK_Num_Lock, 0x90},
    {XK_Scroll_Lock, 0x91},

    // Keypad; with Num Lock off it reports the navigation keys, as Windows does.
    {XK_KP_Space, 0x20},
    {XK_KP_Tab, 0x09},
    {XK_KP_Enter, 0x0D},
    {XK_KP_Multiply, 0x6A},
    {XK_KP_Add, 0x6B},
    {XK_KP_Separator, 0x6C},
    {XK_KP_Subtract, 0x6D},
    {XK_KP_Decimal, 0x6E},
    {XK_KP_Divide, 0x6F},
    {XK_KP_Home, 0x24},
    {XK_KP_Left, 0x25},
    {XK_KP_Up, 0x26},
    {XK_KP_Right, 0x27},
    {XK_KP_Down, 0x28},
    {XK_KP_Prior, 0x21},
    {XK_KP_Next, 0x22},
    {XK_KP_End, 0x23},
    {XK_KP_Begin, 0x0C},
    {XK_KP_Insert, 0x2D},
    {XK_KP_Delete, 0x2E},

    // Shifted digits of a US layout report their digit key.
    {XK_parenright, '0'},
    {XK_exclam, '1'},
    {XK_at, '2'},
    {XK_numbersign, '3'},
    {XK_dollar, '4'},
    {XK_percent, '5'},
    {XK_asciicircum, '6'},
    {XK_ampersand, '7'},
    {XK_asterisk, '8'},
    {XK_parenleft, '9'},

    // US punctuation, shifted or not, as its OEM key.
    {XK_semicolon, 0xBA},
    {XK_colon, 0xBA},
    {XK_equal, 0xBB},
    {XK_plus, 0xBB},
    {XK_comma, 0xBC},
    {XK_less, 0xBC},
    {XK_minus, 0xBD},
    {XK_underscore, 0xBD},
    {XK_period, 0xBE},
    {XK_greater, 0xBE},
    {XK_slash, 0xBF},
    {XK_question, 0xBF},
    {XK_grave, 0xC0},
    {XK_asciitilde, 0xC0},
    {XK_bracketleft, 0xDB},
    {XK_braceleft, 0xDB},
    {XK_backslash, 0xDC},
    {XK_bar, 0xDC},
    {XK_bracketright, 0xDD},
    {XK_braceright, 0xDD},
    {XK_apostrophe, 0xDE},
    {XK_quotedbl, 0xDE},
    // The two OEM keys a US layout lacks, by the symbols of their ISO keys:
    // the UK key left of 1 and the key between left Shift and Z.
    {XK_notsign, 0xDF},
    {XK_brokenbar, 0xE2},

    // Old IBM 3270 and media keys that have a virtual key of their own.
    {XK_3270_Play, 0xFA},
    {XF86XK_FullScreen, 0xFB},
};

template <size_t N>
QHash<quint32, quint32> makeTable(const Pair (&pairs)[N])
{
    QHash<quint32, quint32> table;
    table.reserve(int(N));
    for (const Pair &p : pairs)
        table.insert(p.from, p.vk);
    return table;
}

} // namespace

quint32 VirtualKeyMap::fromScanCode(quint32 nativeScanCode)
{
    static const QHash<quint32, quint32> table = makeTable(kKeycodes);
    return table.value(nativeScanCode, 0);
}

quint32 VirtualKeyMap::fromNativeVirtualKey(quint32 keysym)
{
    if (keysym >= XK_A && keysym <= XK_Z)
        return keysym;
    if (keysym >= XK_a && keysym <= XK_z)
        return keysym - (XK_a - XK_A);
    if (keysym >= XK_0 && keysym <= XK_9)
        return keysym;
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return 0x60 + (keysym - XK_KP_0);
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return 0x70 + (keysym - XK_F1);
    static const QHash<quint32, quint32> table = makeTable(kKeysyms);
    return table.value(keysym, 0);
}

} // namespace host
