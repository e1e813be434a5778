// The key codes the keyboard layer's tables can give, for the fuzz targets' checks.
#pragma once

#include <cstdint>
#include <set>

#include "console/key_tables.h"

// Every extended code the key tables hold.
inline std::set<uint8_t> tableExtendedCodes() {
    std::set<uint8_t> codes;
    for (const ScanCodeRow& row : ScanCodeTable) {
        for (const uint8_t code : row) {
            if (code != 0) codes.insert(code);
        }
    }
    for (const EnhancedKey& key : EnhancedKeyTable) {
        for (const KeyCode code : key.codes) {
            if (code > 255) codes.insert(static_cast<uint8_t>(code >> 8));
        }
    }
    return codes;
}

// A character byte, or an extended key whose code the tables hold.
inline bool isTableKey(KeyCode code) {
    static const std::set<uint8_t> extended = tableExtendedCodes();
    if (code >= 0 && code <= 255) return true;
    if (code < 0) return false;
    return (code & 0xFF) == 0xFF && code >> 8 <= 255 && extended.count(static_cast<uint8_t>(code >> 8)) == 1;
}
