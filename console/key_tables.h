// The PC keyboard's extended key codes, by scan code and modifier column.
#pragma once

#include <array>
#include <cstdint>

#include "console/text.h"

// A key takes the column of the first modifier held, in the order Alt, Ctrl, Shift.
enum KeyColumn : uint8_t { NORMAL_COLUMN, SHIFT_COLUMN, CTRL_COLUMN, ALT_COLUMN };
constexpr int KEY_COLUMNS = 4;

constexpr KeyCode extendedKey(uint8_t code) { return code * 256 + 255; }

// The extended code of each key of scan code set 1 (0 to 88) per column; 0 where it has none.
constexpr int SCAN_CODE_ROWS = 89;
using ScanCodeRow = std::array<uint8_t, KEY_COLUMNS>;
extern const std::array<ScanCodeRow, SCAN_CODE_ROWS> ScanCodeTable;

// The keys that report themselves as enhanced, and the key each gives per column.
struct EnhancedKey {
    uint16_t scanCode;
    std::array<KeyCode, KEY_COLUMNS> codes;
};
extern const std::array<EnhancedKey, 12> EnhancedKeyTable;
