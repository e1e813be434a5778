// Terminal input bytes as the key presses of a PC keyboard: the escape sequences of the common
// terminals, ESC as an Alt prefix, control bytes as Ctrl keys and UTF-8 characters as code page
// 437 bytes. Pure: bytes in, key-down events out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform {

struct TerminalDecoder {
    std::string pending;  // the start of a key whose remaining bytes have not arrived yet
};

// Decodes the bytes, after any pending ones, into key-down events. Bytes that may still begin a
// longer key (a lone ESC, a cut-off sequence or UTF-8 character) stay pending.
void decodeTerminalInput(TerminalDecoder& decoder, std::string_view bytes, std::vector<KeyEvent>& keys);

// No more bytes came in time: the pending bytes are keys of their own (a lone ESC is Esc).
void flushTerminalInput(TerminalDecoder& decoder, std::vector<KeyEvent>& keys);

}  // namespace platform
