#include "platform/keyboard_layout.h"

#include <array>

namespace platform {
namespace {

// The keys that give a character: scan code, virtual key, the character alone and with
// Shift. Letters' virtual keys are their capitals, digits' their digits.
struct CharacterKey {
    uint16_t scanCode;
    uint16_t virtualKey;
    char plain;
    char shifted;
};

constexpr std::array<CharacterKey, 52> kCharacterKeys{{
    {2, '1', '1', '!'},           {3, '2', '2', '@'},
    {4, '3', '3', '#'},           {5, '4', '4', '$'},
    {6, '5', '5', '%'},           {7, '6', '6', '^'},
    {8, '7', '7', '&'},           {9, '8', '8', '*'},
    {10, '9', '9', '('},          {11, '0', '0', ')'},
    {12, 0xBD, '-', '_'},         {13, 0xBB, '=', '+'},
    {16, 'Q', 'q', 'Q'},          {17, 'W', 'w', 'W'},
    {18, 'E', 'e', 'E'},          {19, 'R', 'r', 'R'},
    {20, 'T', 't', 'T'},          {21, 'Y', 'y', 'Y'},
    {22, 'U', 'u', 'U'},          {23, 'I', 'i', 'I'},
    {24, 'O', 'o', 'O'},          {25, 'P', 'p', 'P'},
    {26, 0xDB, '[', '{'},         {27, 0xDD, ']', '}'},
    {30, 'A', 'a', 'A'},          {31, 'S', 's', 'S'},
    {32, 'D', 'd', 'D'},          {33, 'F', 'f', 'F'},
    {34, 'G', 'g', 'G'},          {35, 'H', 'h', 'H'},
    {36, 'J', 'j', 'J'},          {37, 'K', 'k', 'K'},
    {38, 'L', 'l', 'L'},          {39, 0xBA, ';', ':'},
    {40, 0xDE, '\'', '"'},        {41, 0xC0, '`', '~'},
    {43, 0xDC, '\\', '|'},        {44, 'Z', 'z', 'Z'},
    {45, 'X', 'x', 'X'},          {46, 'C', 'c', 'C'},
    {47, 'V', 'v', 'V'},          {48, 'B', 'b', 'B'},
    {49, 'N', 'n', 'N'},          {50, 'M', 'm', 'M'},
    {51, 0xBC, ',', '<'},         {52, 0xBE, '.', '>'},
    {53, 0xBF, '/', '?'},         {57, vk::Space, ' ', ' '},
    {14, vk::Back, '\b', '\b'},   {15, vk::Tab, '\t', '\t'},
    {28, vk::Return, '\r', '\r'}, {1, vk::Escape, '\x1b', '\x1b'},
}};

}  // namespace

KeyPosition keyForCharacter(uint8_t ch) {
    for (const CharacterKey& key : kCharacterKeys) {
        if (static_cast<uint8_t>(key.plain) == ch) return {key.virtualKey, key.scanCode, false};
        if (static_cast<uint8_t>(key.shifted) == ch) return {key.virtualKey, key.scanCode, true};
    }
    return {};
}

uint16_t unshiftedCharacter(uint16_t virtualKey) {
    if (virtualKey >= vk::Numpad0 && virtualKey <= vk::Numpad0 + 9) return '0' + (virtualKey - vk::Numpad0);
    for (const CharacterKey& key : kCharacterKeys) {
        if (key.virtualKey != virtualKey) continue;
        const bool letter = key.plain >= 'a' && key.plain <= 'z';
        return static_cast<uint8_t>(letter ? key.shifted : key.plain);
    }
    return 0;
}

}  // namespace platform
