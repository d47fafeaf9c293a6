// Fuzz target: arbitrary bytes read as an INI file through a memory line source, then every
// getter on every item, a write, and a check that what was written reads back the same.
// The first byte picks the object's options so that every lookup path is exercised.
#include "ini/ini.h"
#include "ini/ini_internal.h"
#include "ini/line_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Bytes {
    const uint8_t *data;
    size_t size;
    size_t position;
    size_t chunk;
};

int ReadBytes(void *readData, int maxBytes, int *bytesRead, char *buffer) {
    auto *bytes = static_cast<Bytes *>(readData);
    size_t take = bytes->size - bytes->position;
    if (take > static_cast<size_t>(maxBytes)) take = static_cast<size_t>(maxBytes);
    if (take > bytes->chunk) take = bytes->chunk;
    memcpy(buffer, bytes->data + bytes->position, take);
    bytes->position += take;
    *bytesRead = static_cast<int>(take);
    return 0;
}

int ReadLine(void *callbackData, char *lineBuffer, int maxChars, int *endOfFile, int *lineNumber) {
    auto lineFile = static_cast<LineFile>(callbackData);
    int result = LineFile_ReadNonEmpty(lineFile, lineBuffer, maxChars, nullptr, endOfFile);
    *lineNumber = LineFile_NumLinesRead(lineFile);
    return result;
}

int KeepAllButOdd(IniObject, void *, const char *name) {
    return strlen(name) % 7 != 3;
}

int CollectLine(void *callbackData, const char *lineText) {
    auto *text = static_cast<std::string *>(callbackData);
    text->append(lineText);
    text->push_back('\n');
    return 0;
}

IniObject NewConfigured(uint8_t options) {
    IniObject ini = Ini_New(options & 1);
    if (options & 4) Ini_SetTokens(ini, '<', '>', options & 8 ? "\xc3\xa9" : "::", "#");
    if (options & 16) Ini_SetSectionFilter(ini, KeepAllButOdd, nullptr);
    return ini;
}

int Read(IniObject ini, const uint8_t *data, size_t size, size_t chunk) {
    Bytes bytes{data, size, 0, chunk};
    LineFile lineFile = LineFile_New(ReadBytes, &bytes);
    int result = Ini_ReadGeneric(ini, ReadLine, lineFile);
    LineFile_Dispose(lineFile);
    return result;
}

void ExerciseItem(IniObject ini, const char *section, const char *item) {
    char *pointer = nullptr;
    char *copy = nullptr;
    char buffer[16];
    int i;
    unsigned u;
    double d;
    unsigned char *data = nullptr;
    size_t size = 0;
    Ini_ItemExists(ini, section, item);
    Ini_ItemOrMultiLineItemExists(ini, section, item);
    Ini_GetPointerToRawString(ini, section, item, &pointer);
    Ini_GetPointerToString(ini, section, item, &pointer);
    if (pointer) (void)strlen(pointer);
    Ini_GetRawStringCopy(ini, section, item, &copy);
    free(copy);
    Ini_GetStringCopy(ini, section, item, &copy);
    free(copy);
    for (size_t bufferSize = 0; bufferSize <= sizeof buffer; bufferSize += 5) {
        Ini_GetRawStringIntoBuffer(ini, section, item, buffer, bufferSize);
        Ini_GetStringIntoBuffer(ini, section, item, buffer, bufferSize);
    }
    Ini_GetInt(ini, section, item, &i);
    Ini_GetUInt(ini, section, item, &u);
    Ini_GetDouble(ini, section, item, &d);
    Ini_GetBoolean(ini, section, item, &i);
    Ini_GetData(ini, section, item, &data, &size);
    free(data);
    Ini_LineOfLastAccess(ini);
}

// What every lookup must find when names repeat: the first of them in list order.
ini_detail::IniSection *FirstSection(IniObject ini, const char *name) {
    using namespace ini_detail;
    for (int s = 1; s <= ListNumItems(ini->sections); ++s) {
        auto *section = *static_cast<IniSection **>(ListGetPtrToItem(ini->sections, s));
        if (StrICmp(section->name, name) == 0) return section;
    }
    return nullptr;
}

ini_detail::IniItem *FirstItem(const ini_detail::IniSection *section, const char *name) {
    using namespace ini_detail;
    for (int i = 1; i <= ListNumItems(section->items); ++i) {
        auto *item = *static_cast<IniItem **>(ListGetPtrToItem(section->items, i));
        if (StrICmp(ItemName(item), name) == 0) return item;
    }
    return nullptr;
}

// Every lookup (linear, through the sorted copies and their index, or of sorted lists) finds
// the first of equal names in list order.
void CheckLookups(IniObject ini) {
    using namespace ini_detail;
    for (int s = 1; s <= ListNumItems(ini->sections); ++s) {
        auto *section = *static_cast<IniSection **>(ListGetPtrToItem(ini->sections, s));
        const char *key = section->name;
        IniSection *first = FirstSection(ini, key);
        ini->lastSection = nullptr;
        if (FindSection(ini, key) != first) __builtin_trap();
        for (int i = 1; i <= ListNumItems(section->items); ++i) {
            const char *name =
                ItemName(*static_cast<IniItem **>(ListGetPtrToItem(section->items, i)));
            if (FindItem(first, name) != FirstItem(first, name)) __builtin_trap();
            // The getters' combined pass: same item, same section cached.
            ini->lastSection = nullptr;
            if (LookupItem(ini, key, name) != FirstItem(first, name) || ini->lastSection != first)
                __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const uint8_t options = data[0];
    ++data;
    --size;
    IniObject ini = NewConfigured(options);
    if (!ini) return 0;
    if (options & 2) Ini_SortInternally(ini);
    Read(ini, data, size, options & 32 ? 3 : LINE_FILE_BUFFER_SIZE);
    if (options & 64) Ini_SortInternally(ini);
    CheckLookups(ini);

    for (int s = 1; s <= Ini_NumberOfSections(ini); ++s) {
        char *section = nullptr;
        if (!Ini_NthSectionName(ini, s, &section)) __builtin_trap();
        Ini_SectionExists(ini, section);
        int items = Ini_NumberOfItems(ini, section);
        for (int n = 1; n <= items; ++n) {
            char *item = nullptr;
            if (!Ini_NthItemName(ini, section, n, &item)) __builtin_trap();
            ExerciseItem(ini, section, item);
        }
    }

    // What the writer accepts must read back as the same object.
    std::string written;
    if (Ini_WriteGeneric(ini, CollectLine, &written) >= 0) {
        // Read back in written order: no filter, no sorting (sorting is not stable).
        IniObject again = NewConfigured(options & ~(16 | 1));
        Read(again, reinterpret_cast<const uint8_t *>(written.data()), written.size(),
             LINE_FILE_BUFFER_SIZE);
        std::string rewritten;
        if (Ini_WriteGeneric(again, CollectLine, &rewritten) < 0 || rewritten != written)
            __builtin_trap();
        Ini_Dispose(again);
    }

    // Copying, then removing everything, must leave nothing behind.
    IniObject copy = Ini_New(options & 128);
    Ini_CopySection(ini, nullptr, copy, options & 1);
    while (Ini_NumberOfSections(copy) > 0) {
        char *section = nullptr;
        Ini_NthSectionName(copy, 1, &section);
        std::string name = section;
        int items = Ini_NumberOfItems(copy, name.c_str());
        if (items > 0) {
            char *item = nullptr;
            Ini_NthItemName(copy, name.c_str(), 1, &item);
            std::string itemName = item;
            if (!Ini_RemoveItem(copy, name.c_str(), itemName.c_str())) __builtin_trap();
        }
        Ini_RemoveSection(copy, name.c_str());
    }
    Ini_Dispose(copy);
    Ini_Dispose(ini);
    return 0;
}
