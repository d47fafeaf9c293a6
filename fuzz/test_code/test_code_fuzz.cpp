// libFuzzer target: arbitrary text typed as a test code. A code is accepted only in its two
// forms (8 symbols, or 9 characters with the blank after the 4th), and every accepted code
// decodes to values inside their ranges and redisplays as an accepted code of the same value.
#include "app/ks_record.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::string typed = text.substr(0, text.find('\0'));
    KsTestCode code{};
    if (KsDecodeTestCode(typed.c_str(), &code) != KS_TESTCODE_OK) return 0;
    if (typed.size() != 8 && !(typed.size() == 9 && typed[4] == ' ')) __builtin_trap();
    if (code.SetPoint < 0 || code.SetPoint > 2550 || code.SetPoint % 10 != 0) __builtin_trap();
    if (code.BCca < 0 || code.BCca > 2555 || code.BCca % 5 != 0) __builtin_trap();
    if (code.BVolt < 5.0 - 1e-9 || code.BVolt > 17.75 + 1e-9) __builtin_trap();
    if (code.BRslt < 0 || code.BRslt > 7) __builtin_trap();
    if (code.System != 4 && code.System != 5) __builtin_trap();
    if (code.Soc < 0 || code.Soc > 5) __builtin_trap();
    if (std::strlen(code.shown) != 9 || code.shown[4] != ' ') __builtin_trap();
    KsTestCode again{};
    if (KsDecodeTestCode(code.shown, &again) != KS_TESTCODE_OK) __builtin_trap();
    if (again.SetPoint != code.SetPoint || again.BCca != code.BCca || again.BRslt != code.BRslt ||
        std::strcmp(again.shown, code.shown) != 0)
        __builtin_trap();
    return 0;
}
