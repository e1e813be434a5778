// Code page 437, the PC's character set, as Unicode code points.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The glyph a PC screen shows for the byte: byte 0 as a space, bytes 1 to 31 and 127 as their
// pictures (smiley, card suits, arrows, house), 128 to 255 as accented letters, box drawing,
// Greek and mathematical signs, the rest as ASCII.
char32_t cp437ToUnicode(uint8_t byte);

// The byte whose glyph is the code point: ASCII (control characters included) maps to itself,
// other code points to the byte that shows them; -1 when no byte does.
int unicodeToCp437(char32_t codePoint);

// Appends the UTF-8 bytes of a code page 437 glyph (a code point below U+10000).
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace platform
