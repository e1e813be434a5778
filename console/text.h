// A text value: bytes with an explicit length, in the console's code page, never converted.
#pragma once

#include <cstdint>
#include <string>

using Text = std::string;

// A key as the keyboard layer codes it: 0 to 255 a character byte, otherwise an extended key
// stored as extended code * 256 + 255.
using KeyCode = int32_t;
