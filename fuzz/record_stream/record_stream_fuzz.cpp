// libFuzzer target: arbitrary bytes as the tester's serial stream. The stream is cut into lines
// the way the port reads them (a NUL ends a line; 256 bytes without one are a line of their own),
// then framed and decoded by the application's record rules: a line holding the start pattern
// opens a record, value lines fill it, a stop line completes it.
#include "app/ks_record.h"
#include "platform/io/files.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kLineBytes = 256;

// Checks what a completed record must satisfy whatever arrived.
void checkRecord(const TestRecord &record) {
    if (std::memchr(record.TCode, '\0', sizeof record.TCode) == nullptr) __builtin_trap();
    if (std::memchr(record.JisNo, '\0', sizeof record.JisNo) == nullptr) __builtin_trap();
    if (std::memchr(record.Ver, '\0', sizeof record.Ver) == nullptr) __builtin_trap();
    for (const auto &info : record.Info)
        if (std::memchr(info, '\0', sizeof info) == nullptr) __builtin_trap();
    // Shown on the panel and logged: a voltage is always a finite number.
    if (!std::isfinite(record.BVolt)) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TestRecord record{};
    bool receiving = false;
    size_t pos = 0;
    while (pos < size) {
        char line[kLineBytes + 1];
        size_t n = 0;
        while (pos < size && n < kLineBytes && data[pos] != 0)
            line[n++] = static_cast<char>(data[pos++]);
        if (pos < size && data[pos] == 0 && n < kLineBytes) ++pos; // the NUL is not stored
        line[n] = '\0';
        if (!receiving) {
            if (n < kLineBytes && FindPattern(line, 0, -1, kStartPattern, 1, 1) >= 0) {
                receiving = true;
                record = TestRecord{};
            }
            continue;
        }
        if (KsStoreValueLine(record, line)) continue;
        if (KsIsStopLine(line)) {
            checkRecord(record);
            receiving = false;
        }
    }
    return 0;
}
