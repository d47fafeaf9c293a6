// Typed puts and strict getters, the data-text encoding, removing and copying. See ini.h.
#include "ini/ini.h"

#include "ini/ini_internal.h"
#include "ini/multibyte.h"
#include "toolbox/core/toolbox.h"

#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

using namespace ini_detail;

namespace {

constexpr size_t kFormatBuffer = 256; // every numeric form fits

// Numbers are always written and read with the "C" locale's decimal point, so that a file
// reads back the same whatever locale the process runs in.
locale_t CLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool IsBlank(const char *text) {
    while (*text)
        if (!IsSpace(*text++)) return false;
    return true;
}

// Common put: builds the item and places it (see ini.h). 0, -12 or -65.
int PutText(IniObject ini, const char *sectionName, const char *itemName, const char *text,
            int quoted) {
    if (!ini || !sectionName || !itemName) return RT_ERR_NULL_POINTER;
    DropLookupIndex(ini);
    if (!text) text = "";
    while (*itemName && IsSpace(*itemName))
        ++itemName;
    size_t nameLength = strlen(itemName);
    while (nameLength > 0 && IsSpace(itemName[nameLength - 1]))
        --nameLength;
    IniItem *item = NewItem(nullptr, itemName, nameLength, text, strlen(text), 0, quoted);
    if (!item) return RT_ERR_OUT_OF_MEMORY;

    IniSection *section = FindSection(ini, sectionName);
    if (section) {
        DetachItemCopy(section);
        int position = 0;
        if (ini->duplicateChecking) {
            for (int i = 1; i <= ListNumItems(section->items);) {
                IniItem *old = *static_cast<IniItem **>(ListGetPtrToItem(section->items, i));
                if (StrICmp(ItemName(old), ItemName(item)) == 0) {
                    if (position == 0) position = i;
                    RemoveItemAt(section, i);
                } else {
                    ++i;
                }
            }
        }
        int inserted = section->sorted ? InsertAfterEqualNames(section->items, &item, CompareItems)
                                       : ListInsertItem(section->items, &item,
                                                        position > 0 ? position : LIST_POS_END);
        if (!inserted) {
            FreeItem(item);
            return RT_ERR_OUT_OF_MEMORY;
        }
        InsertIntoSortedCopy(&section->sortedItems, &item, CompareItems);
        return 0;
    }

    section = NewSection(nullptr, sectionName, ini->sorted, 0);
    if (!section) {
        FreeItem(item);
        return RT_ERR_OUT_OF_MEMORY;
    }
    if (!ListInsertItem(section->items, &item, LIST_POS_END)) {
        FreeItem(item);
        FreeSection(section);
        return RT_ERR_OUT_OF_MEMORY;
    }
    int inserted = ini->sorted ? InsertAfterEqualNames(ini->sections, &section, CompareSections)
                               : ListInsertItem(ini->sections, &section, LIST_POS_END);
    if (!inserted) {
        FreeSection(section);
        return RT_ERR_OUT_OF_MEMORY;
    }
    InsertIntoSortedCopy(&ini->sortedSections, &section, CompareSections);
    return 0;
}

int PutFormatted(IniObject ini, const char *sectionName, const char *itemName, const char *format,
                 ...) __attribute__((format(printf, 4, 5)));

int PutFormatted(IniObject ini, const char *sectionName, const char *itemName, const char *format,
                 ...) {
    char text[kFormatBuffer];
    va_list args;
    va_start(args, format);
    locale_t previous = uselocale(CLocale());
    vsnprintf(text, sizeof text, format, args);
    uselocale(previous);
    va_end(args);
    return PutText(ini, sectionName, itemName, text, 0);
}

// The stored text of a typed value: 1 with text, 0 when missing or blank.
int TypedText(IniObject ini, const char *sectionName, const char *itemName, const char **text) {
    IniItem *item = LookupItem(ini, sectionName, itemName);
    if (!item || IsBlank(item->value)) return 0;
    *text = item->value;
    return 1;
}

// The shared strict syntax of StrToInt/StrToUInt: sign and magnitude, or false.
bool ParseMagnitude(const char *text, bool *negative, uint32_t *magnitude) {
    if (!text) return false;
    const char *p = text;
    while (*p && IsSpace(*p))
        ++p;
    *negative = false;
    if (*p == '+' || *p == '-') {
        *negative = *p == '-';
        ++p;
    }
    uint32_t value = 0;
    bool anyDigit = false;
    while (*p >= '0' && *p <= '9') {
        uint32_t digit = static_cast<uint32_t>(*p - '0');
        if (value > 429496729u || (value == 429496729u && digit > 5)) return false;
        value = value * 10 + digit;
        anyDigit = true;
        ++p;
    }
    while (*p && IsSpace(*p))
        ++p;
    if (*p || !anyDigit) return false;
    *magnitude = value;
    return true;
}

} // namespace

// ---- Strict integer parsing ----------------------------------------------------------------

int StrToInt(const char *text, int *value) {
    bool negative;
    uint32_t magnitude;
    if (!ParseMagnitude(text, &negative, &magnitude)) return 0;
    if (negative ? magnitude > 2147483648u : magnitude > 2147483647u) return 0;
    if (value) *value = negative ? static_cast<int>(0u - magnitude) : static_cast<int>(magnitude);
    return 1;
}

int StrToUInt(const char *text, unsigned int *value) {
    bool negative;
    uint32_t magnitude;
    if (!ParseMagnitude(text, &negative, &magnitude) || negative) return 0;
    if (value) *value = magnitude;
    return 1;
}

// ---- Data text ----------------------------------------------------------------------------

int ConvertDataToText(const unsigned char *data, size_t numBytes, char **text) {
    if (text) *text = nullptr;
    if (!text || (!data && numBytes > 0)) return 0;
    if (numBytes > (SIZE_MAX - 4) / 4 * 3 - 3) return 0;
    size_t remainder = numBytes % 3;
    size_t length = 4 * (numBytes / 3) + (remainder == 0 ? 0 : remainder + 1);
    auto *out = static_cast<char *>(malloc(length + 1));
    if (!out) return 0;
    char *p = out;
    size_t i = 0;
    for (; i + 3 <= numBytes; i += 3) {
        unsigned b0 = data[i], b1 = data[i + 1], b2 = data[i + 2];
        *p++ = static_cast<char>(0x30 + ((b0 >> 6) << 4 | (b1 >> 6) << 2 | (b2 >> 6)));
        *p++ = static_cast<char>(0x30 + (b0 & 0x3F));
        *p++ = static_cast<char>(0x30 + (b1 & 0x3F));
        *p++ = static_cast<char>(0x30 + (b2 & 0x3F));
    }
    if (remainder == 1) {
        unsigned b0 = data[i];
        *p++ = static_cast<char>(0x30 + ((b0 >> 6) << 4));
        *p++ = static_cast<char>(0x30 + (b0 & 0x3F));
    } else if (remainder == 2) {
        unsigned b0 = data[i], b1 = data[i + 1];
        *p++ = static_cast<char>(0x30 + ((b0 >> 6) << 4 | (b1 >> 6) << 2));
        *p++ = static_cast<char>(0x30 + (b0 & 0x3F));
        *p++ = static_cast<char>(0x30 + (b1 & 0x3F));
    }
    *p = '\0';
    *text = out;
    return 1;
}

int ConvertTextToData(const char *text, size_t *numBytes, unsigned char **data) {
    size_t length = text ? strlen(text) : 0;
    size_t remainder = length % 4;
    size_t count = 3 * (length / 4) + (remainder >= 2 ? remainder - 1 : 0);
    if (numBytes) *numBytes = count;
    if (count == 0) return 1;
    if (!data) return 0;
    auto *out = static_cast<unsigned char *>(malloc(count));
    if (!out) {
        *data = nullptr;
        return 0;
    }
    auto x = [text](size_t i) { return static_cast<unsigned char>(text[i] - 0x30); };
    unsigned char *p = out;
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        unsigned char x0 = x(i);
        *p++ = static_cast<unsigned char>((x0 & 0x30) << 2 | x(i + 1));
        *p++ = static_cast<unsigned char>((x0 & 0x0C) << 4 | x(i + 2));
        *p++ = static_cast<unsigned char>((x0 & 0x03) << 6 | x(i + 3));
    }
    if (remainder >= 2) {
        unsigned char x0 = x(i);
        *p++ = static_cast<unsigned char>((x0 & 0x30) << 2 | x(i + 1));
        if (remainder == 3) *p++ = static_cast<unsigned char>((x0 & 0x0C) << 4 | x(i + 2));
    }
    *data = out;
    return 1;
}

// ---- Puts ----------------------------------------------------------------------------------

int Ini_PutInt(IniObject ini, const char *sectionName, const char *itemName, int value) {
    return PutFormatted(ini, sectionName, itemName, "%d", value);
}

int Ini_PutUInt(IniObject ini, const char *sectionName, const char *itemName, unsigned int value) {
    return PutFormatted(ini, sectionName, itemName, "%u", value);
}

int Ini_PutDouble(IniObject ini, const char *sectionName, const char *itemName, double value) {
    // The shortest text that reads back as this very double (the "C" locale's form, whatever
    // the process locale): 0.1 stays "0.1", and the 17th digit is written when it is needed.
    char text[kFormatBuffer];
    const auto written = std::to_chars(text, text + sizeof text - 1, value);
    *written.ptr = '\0';
    return PutText(ini, sectionName, itemName, text, 0);
}

int Ini_PutBoolean(IniObject ini, const char *sectionName, const char *itemName, int value) {
    return PutText(ini, sectionName, itemName, value ? "True" : "False", 0);
}

int Ini_PutRawString(IniObject ini, const char *sectionName, const char *itemName,
                     const char *value) {
    return PutText(ini, sectionName, itemName, value, 1);
}

int Ini_PutString(IniObject ini, const char *sectionName, const char *itemName, const char *value) {
    if (!value) value = "";
    size_t length = strlen(value);
    if (length > (SIZE_MAX - 1) / 4) return RT_ERR_OUT_OF_MEMORY;
    auto *escaped = static_cast<char *>(malloc(4 * length + 1));
    if (!escaped) return RT_ERR_OUT_OF_MEMORY;
    char *out = escaped;
    for (const char *p = value; *p;) {
        int unit = CharUnitLength(p);
        if (unit > 1) {
            memcpy(out, p, unit);
            out += unit;
            p += unit;
            continue;
        }
        auto c = static_cast<unsigned char>(*p++);
        if (c == '"' || c == '\\') {
            *out++ = '\\';
            *out++ = static_cast<char>(c);
        } else if (c == '\t') {
            *out++ = '\\';
            *out++ = 't';
        } else if (c == '\n') {
            *out++ = '\\';
            *out++ = 'n';
        } else if (c == '\r') {
            *out++ = '\\';
            *out++ = 'r';
        } else if (c < 0x20 || c == 0x7F) { // iscntrl of the "C" locale
            snprintf(out, 5, "\\x%02x", c);
            out += 4;
        } else {
            *out++ = static_cast<char>(c);
        }
    }
    *out = '\0';
    int result = PutText(ini, sectionName, itemName, escaped, 1);
    free(escaped);
    return result;
}

int Ini_PutData(IniObject ini, const char *sectionName, const char *itemName,
                const unsigned char *data, size_t dataSize) {
    if (!data && dataSize > 0) return RT_ERR_NULL_POINTER;
    char *text = nullptr;
    if (!ConvertDataToText(data, dataSize, &text)) return RT_ERR_OUT_OF_MEMORY;
    int result = PutText(ini, sectionName, itemName, text, 1);
    free(text);
    return result;
}

// ---- Typed getters -------------------------------------------------------------------------

int Ini_GetInt(IniObject ini, const char *sectionName, const char *itemName, int *value) {
    const char *text;
    if (!TypedText(ini, sectionName, itemName, &text)) return 0;
    int parsed;
    if (!StrToInt(text, &parsed)) return ToolErr_InvalidIntNumber;
    if (value) *value = parsed;
    return 1;
}

int Ini_GetUInt(IniObject ini, const char *sectionName, const char *itemName, unsigned int *value) {
    const char *text;
    if (!TypedText(ini, sectionName, itemName, &text)) return 0;
    unsigned int parsed;
    if (!StrToUInt(text, &parsed)) return ToolErr_InvalidUIntNumber;
    if (value) *value = parsed;
    return 1;
}

int Ini_GetDouble(IniObject ini, const char *sectionName, const char *itemName, double *value) {
    const char *text;
    if (!TypedText(ini, sectionName, itemName, &text)) return 0;
    double parsed;
    if (StrICmp(text, "Inf") == 0 || StrICmp(text, "+Inf") == 0) {
        parsed = HUGE_VAL;
    } else if (StrICmp(text, "-Inf") == 0) {
        parsed = -HUGE_VAL;
    } else {
        char *end = nullptr;
        errno = 0;
        parsed = strtod_l(text, &end, CLocale());
        // A range error on a subnormal result only reports lost precision: such a number is
        // what the writer gives for a subnormal double, so it reads back. Overflow to infinity
        // and underflow to zero stay invalid.
        const bool subnormal = std::fpclassify(parsed) == FP_SUBNORMAL;
        bool ok = *end == '\0' && (errno == 0 || (errno == ERANGE && subnormal));
        if (value) *value = parsed;
        return ok ? 1 : ToolErr_InvalidDoubleNumber;
    }
    if (value) *value = parsed;
    return 1;
}

int Ini_GetBoolean(IniObject ini, const char *sectionName, const char *itemName, int *value) {
    const char *text;
    if (!TypedText(ini, sectionName, itemName, &text)) return 0;
    int parsed;
    if (StrICmp(text, "True") == 0)
        parsed = 1;
    else if (StrICmp(text, "False") == 0)
        parsed = 0;
    else
        return ToolErr_InvalidBooleanValue;
    if (value) *value = parsed;
    return 1;
}

int Ini_GetData(IniObject ini, const char *sectionName, const char *itemName, unsigned char **data,
                size_t *dataSize) {
    if (data) *data = nullptr;
    if (dataSize) *dataSize = 0;
    IniItem *item = LookupItem(ini, sectionName, itemName);
    if (!item) return 0;
    size_t count = 0;
    unsigned char *block = nullptr;
    if (!ConvertTextToData(item->value, &count, &block)) return RT_ERR_OUT_OF_MEMORY;
    if (data)
        *data = block;
    else
        free(block);
    if (dataSize) *dataSize = count;
    return 1;
}

// ---- Removing and copying ------------------------------------------------------------------

int Ini_RemoveSection(IniObject ini, const char *sectionName) {
    IniSection *section = FindSection(ini, sectionName);
    if (!section) return 0;
    DropLookupIndex(ini);
    RemovePointer(ini->sections, section);
    if (ini->sortedSections) RemovePointer(ini->sortedSections, section);
    if (ini->lastSection == section) ini->lastSection = nullptr;
    if (ini->hashedSection == section) ini->hashedSection = nullptr;
    FreeSection(section);
    return 1;
}

int Ini_RemoveItem(IniObject ini, const char *sectionName, const char *itemName) {
    IniSection *section = FindSection(ini, sectionName);
    if (!section || !itemName) return 0;
    DropLookupIndex(ini);
    int removed = 0;
    for (int i = 1; i <= ListNumItems(section->items);) {
        IniItem *item = *static_cast<IniItem **>(ListGetPtrToItem(section->items, i));
        if (StrICmp(ItemName(item), itemName) == 0) {
            RemoveItemAt(section, i);
            removed = 1;
        } else {
            ++i;
        }
    }
    return removed;
}

int Ini_CopySection(IniObject source, const char *sectionName, IniObject destination,
                    int overwrite) {
    if (!source || !destination) return RT_ERR_NULL_POINTER;
    if (source == destination) return 0;
    for (int s = 1; s <= ListNumItems(source->sections); ++s) {
        auto *section = *static_cast<IniSection **>(ListGetPtrToItem(source->sections, s));
        if (sectionName && StrICmp(section->name, sectionName) != 0) continue;
        if (overwrite) Ini_RemoveSection(destination, section->name);
        for (int i = 1; i <= ListNumItems(section->items); ++i) {
            auto *item = *static_cast<IniItem **>(ListGetPtrToItem(section->items, i));
            // The value a lookup by name finds (the first of equal names); an item that the
            // lookup cannot reach (it is in a later section of the same name) keeps its own.
            IniItem *found = LookupItem(source, section->name, ItemName(item));
            int result = Ini_PutRawString(destination, section->name, ItemName(item),
                                          found ? found->value : item->value);
            if (result < 0) return result;
        }
    }
    return 0;
}
