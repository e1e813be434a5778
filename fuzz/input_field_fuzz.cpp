// Answer fields read field after field from any bytes: once as redirected input, once as a line
// typed at the console. Every byte must be taken exactly once and in order, each field must be a
// stretch of the input with only blanks, quotation marks and one separator around it, and both
// sources must give the same fields.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_state.h"
#include "console/input_field.h"
#include "platform/memory_console.h"

namespace {

// Redirected input that counts the bytes the reader has taken from it.
class CountingConsole : public platform::MemoryConsole {
public:
    CountingConsole() : MemoryConsole(redirected()) {}
    int readInputByte() override {
        const int c = MemoryConsole::readInputByte();
        if (c != -1) ++taken;
        return c;
    }
    size_t taken = 0;
};

// How the fields are read: byte 0 says before which fields redirected input is awaited first,
// byte 1 picks the field size (0: through inputString), the rest is the input.
struct Plan {
    uint8_t awaitBits = 0;
    uint32_t limit = INPUT_FIELD_MAX;
    bool throughText = false;
    std::string_view input;
};

Plan planOf(const uint8_t* data, size_t size) {
    Plan plan;
    if (size < 2) return plan;
    plan.awaitBits = data[0];
    plan.throughText = data[1] == 0;
    plan.limit = data[1] >= 1 && data[1] < 128 ? data[1] : INPUT_FIELD_MAX;
    plan.input = std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2);
    return plan;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks, then an opening quotation mark: what may stand before a field.
size_t fieldStart(std::string_view span) {
    size_t i = 0;
    while (i < span.size() && isBlank(span[i])) ++i;
    if (i < span.size() && span[i] == '"') ++i;
    return i;
}

// A closing quotation mark, blanks, then at most one separator: what may follow a field.
bool isFieldTail(std::string_view rest) {
    size_t i = 0;
    if (i < rest.size() && rest[i] == '"') ++i;
    while (i < rest.size() && isBlank(rest[i])) ++i;
    const std::string_view separator = rest.substr(i);
    return separator.empty() || separator == "," || separator == "\n" || separator == "\r" || separator == "\r\n";
}

// The span of input one read used up holds the field and nothing but what may surround it.
// Through inputString the answer stops at a zero byte; the rest of the field is dropped.
bool spanHoldsField(std::string_view span, std::string_view field, bool throughText) {
    const size_t start = fieldStart(span);
    if (span.substr(start, field.size()) != field) return false;
    const std::string_view rest = span.substr(start + field.size());
    if (throughText && !rest.empty() && rest[0] == '\0') return true;
    return isFieldTail(rest);
}

// One field from the current source, as the reader stores it; the buffer has room for exactly
// the field size and its terminating zero.
std::string readField(const Plan& plan, std::vector<uint8_t>& buffer) {
    if (plan.throughText) {
        Text answer;
        inputString(answer);
        // An answer is no longer than the field buffer and has no zero byte.
        if (answer.size() > INPUT_FIELD_MAX || answer.find('\0') != Text::npos) __builtin_trap();
        return answer;
    }
    const uint32_t count = readInputField(buffer.data(), plan.limit);
    // At most limit bytes, then the terminating zero.
    if (count > plan.limit || buffer[count] != 0) __builtin_trap();
    return std::string(buffer.begin(), buffer.begin() + count);
}

// The bytes given back to redirected input are the last ones taken from it, the last one on top.
size_t checkedPutBack(const CountingConsole& console, std::string_view input) {
    const PutBackArea& back = consoleState().putBack;
    if (back.count < 0 || back.count > static_cast<int>(back.bytes.size()) ||
        static_cast<size_t>(back.count) > console.taken) {
        __builtin_trap();
    }
    for (int i = 0; i < back.count; ++i) {
        if (back.bytes[i] != static_cast<uint8_t>(input[console.taken - 1 - i])) __builtin_trap();
    }
    return console.taken - back.count;
}

std::vector<std::string> streamFields(const Plan& plan) {
    resetConsoleState();
    CountingConsole console;
    console.stdinBytes = std::string(plan.input);
    platform::setPlatform(&console);
    const Text prompt = "Capital";
    std::vector<uint8_t> buffer(plan.limit + 1);
    std::vector<std::string> fields;
    size_t used = 0;  // input bytes the fields have used up, put-back bytes not counted
    for (;;) {
        beginInput(&prompt, -1, -1);
        if ((plan.awaitBits >> (fields.size() % 8)) & 1) {
            // Awaiting takes nothing; it finds a byte exactly when some are left.
            if (awaitInputByte() != (used < plan.input.size())) __builtin_trap();
            if (checkedPutBack(console, plan.input) != used) __builtin_trap();
        }
        const std::string field = readField(plan, buffer);
        const size_t next = checkedPutBack(console, plan.input);
        if (used == plan.input.size()) {
            // At the end every field is empty and takes nothing.
            if (!field.empty() || next != used) __builtin_trap();
            break;
        }
        // Each read uses up at least one byte, after the bytes the last one used.
        if (next <= used || !spanHoldsField(plan.input.substr(used, next - used), field, plan.throughText)) {
            __builtin_trap();
        }
        fields.push_back(field);
        used = next;
    }
    // Redirected input shows nothing.
    if (!console.output.empty()) __builtin_trap();
    return fields;
}

std::vector<std::string> typedFields(const Plan& plan) {
    resetConsoleState();
    platform::MemoryConsole console(80, 25, 25);
    platform::setPlatform(&console);
    InputContext& input = consoleState().input;
    input = InputContext{false, Text(plan.input), 0};
    std::vector<uint8_t> buffer(plan.limit + 1);
    std::vector<std::string> fields;
    for (;;) {
        const uint32_t used = input.readPos;
        const std::string field = readField(plan, buffer);
        // The reader moves the read position; cppcheck cannot see it through the console state.
        // cppcheck-suppress knownConditionTrueFalse
        if (input.readPos > plan.input.size() || input.readPos < used) __builtin_trap();
        if (used == plan.input.size()) {
            if (!field.empty() || input.readPos != used) __builtin_trap();
            break;
        }
        // cppcheck-suppress knownConditionTrueFalse
        if (input.readPos == used ||
            !spanHoldsField(plan.input.substr(used, input.readPos - used), field, plan.throughText)) {
            __builtin_trap();
        }
        fields.push_back(field);
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Plan plan = planOf(data, size);
    // A typed line splits into the same fields as the same bytes on redirected input.
    if (streamFields(plan) != typedFields(plan)) __builtin_trap();
    return 0;
}
