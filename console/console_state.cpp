#include "console/console_state.h"

namespace {
std::unique_ptr<ConsoleState>& stateSlot() {
    static std::unique_ptr<ConsoleState> state = std::make_unique<ConsoleState>();
    return state;
}
}  // namespace

ConsoleState& consoleState() { return *stateSlot(); }

void resetConsoleState() { stateSlot() = std::make_unique<ConsoleState>(); }
