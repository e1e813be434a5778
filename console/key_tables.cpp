#include "console/key_tables.h"

// Columns: normal, Shift, Ctrl, Alt.
const std::array<ScanCodeRow, SCAN_CODE_ROWS> ScanCodeTable{{
    {0, 0, 0, 0},          // 0
    {0, 0, 0, 1},          // 1 Esc
    {0, 0, 0, 120},        // 2 1
    {0, 0, 3, 121},        // 3 2
    {0, 0, 0, 122},        // 4 3
    {0, 0, 0, 123},        // 5 4
    {0, 0, 0, 124},        // 6 5
    {0, 0, 0, 125},        // 7 6
    {0, 0, 0, 126},        // 8 7
    {0, 0, 0, 127},        // 9 8
    {0, 0, 0, 128},        // 10 9
    {0, 0, 0, 129},        // 11 0
    {0, 0, 0, 130},        // 12 -
    {0, 0, 0, 131},        // 13 =
    {0, 0, 0, 224},        // 14 Backspace
    {0, 15, 148, 15},      // 15 Tab
    {0, 0, 0, 16},         // 16 Q
    {0, 0, 0, 17},         // 17 W
    {0, 0, 0, 18},         // 18 E
    {0, 0, 0, 19},         // 19 R
    {0, 0, 0, 20},         // 20 T
    {0, 0, 0, 21},         // 21 Y
    {0, 0, 0, 22},         // 22 U
    {0, 0, 0, 23},         // 23 I
    {0, 0, 0, 24},         // 24 O
    {0, 0, 0, 25},         // 25 P
    {0, 0, 0, 26},         // 26 [
    {0, 0, 0, 27},         // 27 ]
    {0, 0, 0, 28},         // 28 Enter
    {0, 0, 0, 0},          // 29 Ctrl
    {0, 0, 0, 30},         // 30 A
    {0, 0, 0, 31},         // 31 S
    {0, 0, 0, 32},         // 32 D
    {0, 0, 0, 33},         // 33 F
    {0, 0, 0, 34},         // 34 G
    {0, 0, 0, 35},         // 35 H
    {0, 0, 0, 36},         // 36 J
    {0, 0, 0, 37},         // 37 K
    {0, 0, 0, 38},         // 38 L
    {0, 0, 0, 39},         // 39 ;
    {0, 0, 0, 40},         // 40 '
    {0, 0, 0, 41},         // 41 `
    {0, 0, 0, 0},          // 42 left Shift
    {0, 0, 0, 0},          // 43 Backslash
    {0, 0, 0, 44},         // 44 Z
    {0, 0, 0, 45},         // 45 X
    {0, 0, 0, 46},         // 46 C
    {0, 0, 0, 47},         // 47 V
    {0, 0, 0, 48},         // 48 B
    {0, 0, 0, 49},         // 49 N
    {0, 0, 0, 50},         // 50 M
    {0, 0, 0, 51},         // 51 ,
    {0, 0, 0, 52},         // 52 .
    {0, 0, 0, 53},         // 53 /
    {0, 0, 0, 0},          // 54 right Shift
    {0, 0, 0, 0},          // 55 keypad *
    {0, 0, 0, 0},          // 56 Alt
    {0, 0, 0, 0},          // 57 Space
    {0, 0, 0, 0},          // 58 Caps Lock
    {59, 84, 94, 104},     // 59 F1
    {60, 85, 95, 105},     // 60 F2
    {61, 86, 96, 106},     // 61 F3
    {62, 87, 97, 107},     // 62 F4
    {63, 88, 98, 108},     // 63 F5
    {64, 89, 99, 109},     // 64 F6
    {65, 90, 100, 110},    // 65 F7
    {66, 91, 101, 111},    // 66 F8
    {67, 92, 102, 112},    // 67 F9
    {68, 93, 103, 113},    // 68 F10
    {0, 0, 0, 0},          // 69 Num Lock
    {0, 0, 0, 0},          // 70 Scroll Lock
    {71, 0, 119, 0},       // 71 keypad 7 / Home
    {72, 0, 141, 0},       // 72 keypad 8 / Up
    {73, 0, 132, 0},       // 73 keypad 9 / Page Up
    {0, 0, 0, 0},          // 74 keypad -
    {75, 0, 115, 0},       // 75 keypad 4 / Left
    {76, 0, 143, 76},      // 76 keypad 5
    {77, 0, 116, 0},       // 77 keypad 6 / Right
    {0, 0, 0, 0},          // 78 keypad +
    {79, 0, 117, 0},       // 79 keypad 1 / End
    {80, 0, 145, 0},       // 80 keypad 2 / Down
    {81, 0, 118, 0},       // 81 keypad 3 / Page Down
    {82, 0, 146, 0},       // 82 keypad 0 / Insert
    {83, 0, 147, 0},       // 83 keypad . / Delete
    {0, 0, 0, 0},          // 84
    {0, 0, 0, 0},          // 85
    {0, 0, 0, 0},          // 86
    {133, 135, 137, 139},  // 87 F11
    {134, 136, 138, 140},  // 88 F12
}};

const std::array<EnhancedKey, 12> EnhancedKeyTable{{
    {28, {13, 13, 10, extendedKey(166)}},                                          // keypad Enter
    {53, {47, 63, extendedKey(149), extendedKey(164)}},                            // keypad /
    {71, {extendedKey(71), extendedKey(71), extendedKey(119), extendedKey(151)}},  // Home
    {72, {extendedKey(72), extendedKey(72), extendedKey(141), extendedKey(152)}},  // Up
    {73, {extendedKey(73), extendedKey(73), extendedKey(132), extendedKey(153)}},  // Page Up
    {75, {extendedKey(75), extendedKey(75), extendedKey(115), extendedKey(155)}},  // Left
    {77, {extendedKey(77), extendedKey(77), extendedKey(116), extendedKey(157)}},  // Right
    {79, {extendedKey(79), extendedKey(79), extendedKey(117), extendedKey(159)}},  // End
    {80, {extendedKey(80), extendedKey(80), extendedKey(145), extendedKey(160)}},  // Down
    {81, {extendedKey(81), extendedKey(81), extendedKey(118), extendedKey(161)}},  // Page Down
    {82, {extendedKey(82), extendedKey(82), extendedKey(146), extendedKey(162)}},  // Insert
    {83, {extendedKey(83), extendedKey(83), extendedKey(147), extendedKey(163)}},  // Delete
}};
