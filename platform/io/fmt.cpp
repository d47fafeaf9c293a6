// Formatting and searching services of the run-time: Fmt, FmtFile, FindPattern.
// See platform/files.h.
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/io/files.h"
#include "toolbox/core/errors.h"

namespace {

// Formats into a string of whatever length the arguments need.
int formatToString(std::string &out, const char *format, va_list args) {
    va_list probe;
    va_copy(probe, args);
    const int needed = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (needed < 0) return RT_ERR_INVALID_VALUE;
    out.assign(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
    return needed;
}

bool sameByte(unsigned char a, unsigned char b, bool caseSensitive) {
    return caseSensitive ? a == b : std::tolower(a) == std::tolower(b);
}

} // namespace

int Fmt(char *buffer, size_t bufferSize, const char *format, ...) {
    if (buffer == nullptr || format == nullptr) return RT_ERR_NULL_POINTER;
    if (bufferSize == 0) return RT_ERR_INVALID_VALUE;
    va_list args;
    va_start(args, format);
    const int needed = std::vsnprintf(buffer, bufferSize, format, args);
    va_end(args);
    if (needed < 0) {
        buffer[0] = '\0';
        return RT_ERR_INVALID_VALUE;
    }
    const size_t written =
        static_cast<size_t>(needed) < bufferSize ? static_cast<size_t>(needed) : bufferSize - 1;
    return static_cast<int>(written);
}

int FmtFile(int fileHandle, const char *format, ...) {
    if (format == nullptr) return RT_ERR_NULL_POINTER;
    std::string text;
    va_list args;
    va_start(args, format);
    const int length = formatToString(text, format, args);
    va_end(args);
    if (length < 0) return length;
    return RT_WriteFile(fileHandle, text.data(), length);
}

int FindPattern(const char *buffer, int startIndex, int numBytes, const char *pattern,
                int caseSensitive, int fromRight) {
    if (buffer == nullptr || pattern == nullptr || startIndex < 0 || numBytes < -1) return -1;
    const size_t patternLength = std::strlen(pattern);
    const size_t regionLength =
        numBytes == -1 ? std::strlen(buffer + startIndex) : static_cast<size_t>(numBytes);
    if (patternLength == 0 || patternLength > regionLength) return -1;
    const auto *region = reinterpret_cast<const unsigned char *>(buffer + startIndex);
    const auto *pat = reinterpret_cast<const unsigned char *>(pattern);
    const size_t lastStart = regionLength - patternLength;
    auto matchesAt = [&](size_t at) {
        for (size_t k = 0; k < patternLength; ++k)
            if (!sameByte(region[at + k], pat[k], caseSensitive != 0)) return false;
        return true;
    };
    if (fromRight) {
        for (size_t at = lastStart + 1; at-- > 0;)
            if (matchesAt(at)) return startIndex + static_cast<int>(at);
    } else {
        for (size_t at = 0; at <= lastStart; ++at)
            if (matchesAt(at)) return startIndex + static_cast<int>(at);
    }
    return -1;
}
