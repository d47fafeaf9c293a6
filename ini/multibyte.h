// Character units of the INI code. Text is handled byte by byte, except that a multibyte
// character is never cut and is stepped over as one unit. Which bytes start such a unit is
// decided here and nowhere else, so another platform can put its own code-page test in this
// one function. Here a unit is a complete UTF-8 sequence; any other byte is a unit by itself.
#pragma once

#include <cstddef>

namespace ini_detail {

// Length in bytes (1 .. 4) of the character unit that starts at text[0], which must not be
// the terminating NUL. A lead byte without all its continuation bytes counts as 1, so a
// unit never reaches past the end of a NUL-terminated text.
inline int CharUnitLength(const char *text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    int length;
    if (lead < 0xC2)
        return 1;
    else if (lead < 0xE0)
        length = 2;
    else if (lead < 0xF0)
        length = 3;
    else if (lead < 0xF5)
        length = 4;
    else
        return 1;
    for (int i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
    return length;
}

// White space as the C library's isspace classifies it in the "C" locale; fixed here so
// that parsing does not change with the process's locale.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Longest prefix of text[0 .. length) that ends on a unit boundary and holds at most
// maxBytes bytes.
inline size_t CutWithoutSplitting(const char *text, size_t length, size_t maxBytes) {
    if (length <= maxBytes) return length;
    size_t cut = 0;
    while (cut < length) {
        size_t unit = static_cast<size_t>(CharUnitLength(text + cut));
        if (cut + unit > maxBytes) break;
        cut += unit;
    }
    return cut;
}

} // namespace ini_detail
