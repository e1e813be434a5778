// The keyboard layer: console key events turned into key codes and handed out as key texts.
#pragma once

#include <cstdint>

#include "console/text.h"
#include "platform/platform.h"

constexpr KeyCode NO_KEY = -1;

// The oldest pending key as a text of 1 or 2 bytes, or the empty text; never waits.
Text pollKey();
// 1 when a key is pending after a refill, else 0; removes nothing.
int32_t keyAvailable();

void refillKeyBuffer();
void translateKeyEvent(const platform::KeyEvent& event);
KeyCode lookupKeyCode(const platform::KeyEvent& event);
void appendKey(KeyCode code);
bool onConsoleControl(uint32_t type);
