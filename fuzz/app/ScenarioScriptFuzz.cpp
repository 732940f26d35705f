// The scenario reader on arbitrary bytes: a script parses or names its first bad line, and
// nothing it says or keeps carries raw control bytes or a number that would wrap.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/ScenarioScript.h"

namespace {

bool HasControlByte(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, keylume::EscapeForMessage(detail).c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto steps = keylume::ParseScenario(script, error);
    if (!steps) {
        if (error.rfind("line ", 0) != 0)
            Fail("an error without its line", error);
        if (HasControlByte(error))
            Fail("raw control byte in the error", error);
    } else {
        for (const keylume::ScenarioStep& step : *steps) {
            if (HasControlByte(step.name))
                Fail("control byte in a name", step.name);
            if (step.number > INT_MAX || step.number < INT_MIN)
                Fail("a number an int cannot hold", std::to_string(step.number));
            if (step.verb == keylume::ScenarioStep::Verb::Wait && step.number < 0)
                Fail("a negative wait", std::to_string(step.number));
        }
    }
    // Escaping leaves no control byte and keeps clean text as it is.
    const std::string escaped = keylume::EscapeForMessage(script);
    if (HasControlByte(escaped))
        Fail("escaping left a control byte", escaped);
    if (keylume::EscapeForMessage(escaped) != escaped)
        Fail("escaped text changes when escaped again", escaped);
    keylume::ParseUsage(script);
    return 0;
}
