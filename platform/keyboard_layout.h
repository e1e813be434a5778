// The US PC keyboard: which key types which character, and what each key gives on its own.
// Both the terminal's key decoder and the in-memory console describe keys with it.
#pragma once

#include <cstdint>

namespace platform {

// Virtual-key codes of the keys the program meets.
namespace vk {
constexpr uint16_t Back = 0x08;
constexpr uint16_t Tab = 0x09;
constexpr uint16_t Return = 0x0D;
constexpr uint16_t Shift = 0x10;
constexpr uint16_t Control = 0x11;
constexpr uint16_t Alt = 0x12;
constexpr uint16_t Escape = 0x1B;
constexpr uint16_t Space = 0x20;
constexpr uint16_t PageUp = 0x21;
constexpr uint16_t PageDown = 0x22;
constexpr uint16_t End = 0x23;
constexpr uint16_t Home = 0x24;
constexpr uint16_t Left = 0x25;
constexpr uint16_t Up = 0x26;
constexpr uint16_t Right = 0x27;
constexpr uint16_t Down = 0x28;
constexpr uint16_t Insert = 0x2D;
constexpr uint16_t Delete = 0x2E;
constexpr uint16_t Numpad0 = 0x60;  // to Numpad9 = 0x69
constexpr uint16_t Multiply = 0x6A;
constexpr uint16_t Add = 0x6B;
constexpr uint16_t Subtract = 0x6D;
constexpr uint16_t Decimal = 0x6E;
constexpr uint16_t Divide = 0x6F;
constexpr uint16_t F1 = 0x70;  // to F12 = 0x7B
}  // namespace vk

// Where a character sits on the keyboard.
struct KeyPosition {
    uint16_t virtualKey = 0;  // 0: no key types this character
    uint16_t scanCode = 0;
    bool shifted = false;  // typed with Shift held
};

// The key that types an ASCII character (32 to 126, and BS, TAB, CR, ESC).
KeyPosition keyForCharacter(uint8_t ch);

// The character a virtual key gives with no modifier held (letters as capitals), 0 if none.
uint16_t unshiftedCharacter(uint16_t virtualKey);

}  // namespace platform
