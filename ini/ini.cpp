// The INI object: creation, tokens, reading and classification, lookup, sorting and the text
// getters. See ini.h for the contract of each entry point.
#include "ini/ini.h"

#include "ini/ini_internal.h"
#include "ini/line_file.h"
#include "ini/multibyte.h"
#include "toolbox/core/toolbox.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

using namespace ini_detail;

namespace {

// toupper of the "C" locale as a table: name comparison is the hot path of every lookup.
struct UpperTable {
    unsigned char map[256];
    constexpr UpperTable() : map() {
        for (int i = 0; i < 256; ++i)
            map[i] = static_cast<unsigned char>(i >= 'a' && i <= 'z' ? i - 'a' + 'A' : i);
    }
};
constexpr UpperTable kUpper;

constexpr size_t kReadStreamBuffer = 16384; // stdio buffer of a file being read
constexpr size_t kMinReadStreamBuffer = 4096;
// Items read are cut from chunks that start small (small files stay small) and double up
// to the largest size.
constexpr size_t kFirstPoolChunkBytes = 4096;
constexpr size_t kPoolChunkBytes = 65536;

// Bump allocation from the object's pool, 8-byte aligned. Null when out of memory.
void *PoolAllocate(IniObject ini, size_t size) {
    size = (size + 7) & ~static_cast<size_t>(7);
    const size_t header = (sizeof(PoolChunk) + 7) & ~static_cast<size_t>(7);
    PoolChunk *chunk = ini->pool;
    if (!chunk || chunk->size - chunk->used < size) {
        size_t grown =
            chunk ? std::min(2 * (chunk->size + header), kPoolChunkBytes) : kFirstPoolChunkBytes;
        size_t bytes = header + std::max(size, grown - header);
        chunk = static_cast<PoolChunk *>(malloc(bytes));
        if (!chunk) return nullptr;
        chunk->next = ini->pool;
        chunk->used = 0;
        chunk->size = bytes - header;
        ini->pool = chunk;
    }
    void *block = reinterpret_cast<char *>(chunk) + header + chunk->used;
    chunk->used += size;
    return block;
}

IniItem **ItemArray(ListHandle list) {
    return static_cast<IniItem **>(ListGetDataPtr(list));
}

IniSection **SectionArray(ListHandle list) {
    return static_cast<IniSection **>(ListGetDataPtr(list));
}

size_t TrimmedLength(const char *text, size_t length) {
    while (length > 0 && IsSpace(text[length - 1]))
        --length;
    return length;
}

const char *SkipSpace(const char *p) {
    while (*p && IsSpace(*p))
        ++p;
    return p;
}

// First occurrence of the token at a character-unit boundary in [p, end), or null.
const char *FindToken(const char *p, const char *end, const char *token, size_t tokenLength) {
    if (static_cast<unsigned char>(token[0]) < 0x80) {
        // A byte below 0x80 is never inside a multibyte unit, so a plain byte search suffices.
        while (p < end) {
            const char *hit = static_cast<const char *>(memchr(p, token[0], end - p));
            if (!hit) return nullptr;
            if (static_cast<size_t>(end - hit) >= tokenLength &&
                memcmp(hit, token, tokenLength) == 0)
                return hit;
            p = hit + 1;
        }
        return nullptr;
    }
    while (p < end) {
        if (static_cast<size_t>(end - p) >= tokenLength && memcmp(p, token, tokenLength) == 0)
            return p;
        p += CharUnitLength(p);
    }
    return nullptr;
}

// Last occurrence of the character at a unit boundary in [p, end), or null.
const char *FindLastChar(const char *p, const char *end, char c) {
    if (static_cast<unsigned char>(c) < 0x80)
        return static_cast<const char *>(memrchr(p, c, end - p));
    const char *last = nullptr;
    while (p < end) {
        if (*p == c) last = p;
        p += CharUnitLength(p);
    }
    return last;
}

void CopyToken(char *destination, const char *source) {
    size_t length = CutWithoutSplitting(source, strlen(source), kMaxTokenBytes);
    memcpy(destination, source, length);
    destination[length] = '\0';
}

// Joins the runs of "<name> Line<k>" pieces of every section (see ini.h). 0 or -12.
int JoinMultiLineItems(IniObject ini) {
    int numSections = ListNumItems(ini->sections);
    for (int si = 0; si < numSections; ++si) {
        IniSection *section = SectionArray(ini->sections)[si];
        int count = ListNumItems(section->items);
        IniItem **items = ItemArray(section->items);
        int write = 0;
        bool joined = false;
        for (int i = 0; i < count;) {
            size_t baseLength = 0;
            long piece = 0;
            if (!IsContinuationName(ItemName(items[i]), &baseLength, &piece) || piece != 1) {
                items[write++] = items[i++];
                continue;
            }
            int runEnd = i + 1;
            size_t total = strlen(items[i]->value);
            size_t ignoredBase;
            long next;
            while (runEnd < count &&
                   IsContinuationName(ItemName(items[runEnd]), &ignoredBase, &next) && next != 1) {
                total += strlen(items[runEnd]->value);
                ++runEnd;
            }
            IniItem *first = items[i];
            IniItem *item = NewItem(ini, ItemName(first), baseLength, nullptr, total, first->line,
                                    first->quoted);
            if (!item) {
                // Keep the list whole: close the gap left by the compaction so far.
                memmove(items + write, items + i, (count - i) * sizeof(IniItem *));
                if (write < i)
                    ListRemoveItems(section->items, nullptr, write + (count - i) + 1, i - write);
                if (joined) DiscardItemCopy(section);
                return RT_ERR_OUT_OF_MEMORY;
            }
            char *out = item->value;
            for (int k = i; k < runEnd; ++k) {
                size_t length = strlen(items[k]->value);
                memcpy(out, items[k]->value, length);
                out += length;
                FreeItem(items[k]);
            }
            *out = '\0';
            items[write++] = item;
            i = runEnd;
            joined = true;
        }
        if (write < count) ListRemoveItems(section->items, nullptr, write + 1, count - write);
        // The sorted copy still points at the freed pieces; the caller rebuilds the copies.
        if (joined) DiscardItemCopy(section);
    }
    return 0;
}

// A file whose text begins with a UTF-8 byte-order mark (as many editors save by default)
// reads as if the mark were not there.
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr int kByteOrderMarkLength = 3;

struct FileSource {
    FILE *file;
    bool atStart;
};

int ReadFileWithoutByteOrderMark(void *readData, int maxBytes, int *bytesRead, char *buffer) {
    auto *source = static_cast<FileSource *>(readData);
    int result = LineFile_ReadFromFile(source->file, maxBytes, bytesRead, buffer);
    if (result == 0 && source->atStart) {
        source->atStart = false;
        // fread delivers a whole first block (or the whole file when it is shorter), so a
        // mark lies complete in it.
        if (*bytesRead >= kByteOrderMarkLength &&
            memcmp(buffer, kUtf8ByteOrderMark, kByteOrderMarkLength) == 0) {
            *bytesRead -= kByteOrderMarkLength;
            memmove(buffer, buffer + kByteOrderMarkLength, static_cast<size_t>(*bytesRead));
        }
    }
    return result;
}

int ReadLineFromLineFile(void *callbackData, char *lineBuffer, int maxChars, int *endOfFile,
                         int *lineNumber) {
    auto lineFile = static_cast<LineFile>(callbackData);
    int result = LineFile_ReadNonEmpty(lineFile, lineBuffer, maxChars, nullptr, endOfFile);
    *lineNumber = LineFile_NumLinesRead(lineFile);
    return result;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Stores the escape-resolved form of value in the scratch buffer. 0 or -12.
int ResolveEscapes(IniObject ini, const char *value, const char **resolved) {
    *resolved = nullptr;
    size_t length = strlen(value);
    size_t size = ((length + 1) / kScratchGranule + 1) * kScratchGranule;
    if (size > 0xFFFFFFFFu) return RT_ERR_OUT_OF_MEMORY;
    if (!ini->scratch) {
        ini->scratch = NewHandle(static_cast<unsigned int>(size));
        if (!ini->scratch) return RT_ERR_OUT_OF_MEMORY;
    } else if (!SetHandleSize(ini->scratch, static_cast<unsigned int>(size))) {
        return RT_ERR_OUT_OF_MEMORY;
    }
    char *out = static_cast<char *>(GetHandleBlock(ini->scratch));
    char *start = out;
    const char *p = value;
    while (*p) {
        int unit = CharUnitLength(p);
        if (unit == 1 && *p == '\\') {
            ++p;
            if (!*p) break; // a backslash at the very end is dropped
            unit = CharUnitLength(p);
            if (unit == 1) {
                char c = *p;
                if (c == 'n')
                    c = '\n';
                else if (c == 'r')
                    c = '\r';
                else if (c == 't')
                    c = '\t';
                else if (c == 'x' && IsHexDigit(p[1]) && IsHexDigit(p[2])) {
                    char hex[3] = {p[1], p[2], '\0'};
                    *out++ = static_cast<char>(strtol(hex, nullptr, 16));
                    p += 3;
                    continue;
                }
                *out++ = c;
                ++p;
                continue;
            }
        }
        memcpy(out, p, unit);
        out += unit;
        p += unit;
    }
    *out = '\0';
    *resolved = start;
    return 0;
}

// Finds the item and gives its raw or resolved text. 1 found, 0 not found, or -12.
int GetText(IniObject ini, const char *sectionName, const char *itemName, bool resolve,
            const char **text) {
    *text = nullptr;
    IniItem *item = LookupItem(ini, sectionName, itemName);
    if (!item) return 0;
    if (!resolve) {
        *text = item->value;
        return 1;
    }
    int result = ResolveEscapes(ini, item->value, text);
    return result < 0 ? result : 1;
}

int GetCopy(IniObject ini, const char *sectionName, const char *itemName, bool resolve,
            char **copy) {
    if (copy) *copy = nullptr;
    const char *text;
    int result = GetText(ini, sectionName, itemName, resolve, &text);
    if (result != 1 || !copy) return result;
    size_t length = strlen(text);
    char *block = static_cast<char *>(malloc(length + 1));
    if (!block) return RT_ERR_OUT_OF_MEMORY;
    memcpy(block, text, length + 1);
    *copy = block;
    return 1;
}

int GetIntoBuffer(IniObject ini, const char *sectionName, const char *itemName, bool resolve,
                  char *buffer, size_t bufferSize) {
    if (buffer && bufferSize > 0) buffer[0] = '\0';
    const char *text;
    int result = GetText(ini, sectionName, itemName, resolve, &text);
    if (result != 1 || !buffer || bufferSize == 0) return result;
    size_t length = CutWithoutSplitting(text, strlen(text), bufferSize - 1);
    memcpy(buffer, text, length);
    buffer[length] = '\0';
    return 1;
}

void DiscardSortedCopies(IniObject ini) {
    DropLookupIndex(ini);
    ListDispose(ini->sortedSections);
    ini->sortedSections = nullptr;
    int count = ListNumItems(ini->sections);
    IniSection **sections = SectionArray(ini->sections);
    for (int i = 0; i < count; ++i)
        DiscardItemCopy(sections[i]);
    free(ini->sliceBlock);
    ini->sliceBlock = nullptr;
}

} // namespace

// ---- Shared helpers ------------------------------------------------------------------------

namespace ini_detail {

int StrICmp(const char *a, const char *b) {
    if (!a || !b) return a ? 1 : (b ? -1 : 0);
    auto x = reinterpret_cast<const unsigned char *>(a);
    auto y = reinterpret_cast<const unsigned char *>(b);
    for (;; ++x, ++y) {
        int ca = kUpper.map[*x];
        int cb = kUpper.map[*y];
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
}

int CompareSections(const void *a, const void *b) {
    return StrICmp((*static_cast<IniSection *const *>(a))->name,
                   (*static_cast<IniSection *const *>(b))->name);
}

int CompareItems(const void *a, const void *b) {
    return StrICmp(ItemName(*static_cast<IniItem *const *>(a)),
                   ItemName(*static_cast<IniItem *const *>(b)));
}

int CompareNameWithItem(const void *key, const void *item) {
    return StrICmp(*static_cast<const char *const *>(key),
                   ItemName(*static_cast<IniItem *const *>(item)));
}

IniItem *NewItem(IniObject pool, const char *name, size_t nameLength, const char *value,
                 size_t valueLength, int line, int quoted) {
    if (nameLength > SIZE_MAX / 4 || valueLength > SIZE_MAX / 4) return nullptr;
    size_t size = sizeof(IniItem) + nameLength + valueLength + 2;
    IniItem *item = nullptr;
    if (pool && size <= kPoolChunkBytes / 8) {
        item = static_cast<IniItem *>(PoolAllocate(pool, size));
        if (item) item->pooled = 1;
    } else {
        item = static_cast<IniItem *>(malloc(size));
        if (item) item->pooled = 0;
    }
    if (!item) return nullptr;
    char *itemName = ItemName(item);
    memcpy(itemName, name, nameLength);
    itemName[nameLength] = '\0';
    item->value = itemName + nameLength + 1;
    if (value) memcpy(item->value, value, valueLength);
    item->value[valueLength] = '\0';
    item->line = line;
    item->quoted = quoted ? 1 : 0;
    return item;
}

void FreeItem(IniItem *item) {
    if (item && !item->pooled) free(item);
}

void FreePool(IniObject ini) {
    while (ini->pool) {
        PoolChunk *next = ini->pool->next;
        free(ini->pool);
        ini->pool = next;
    }
}

IniSection *NewSection(IniObject pool, const char *name, int sorted, int line) {
    size_t length = strlen(name);
    size_t size = sizeof(IniSection) + length + 1;
    IniSection *section = nullptr;
    if (pool && size <= kPoolChunkBytes / 8) {
        section = static_cast<IniSection *>(PoolAllocate(pool, size));
        if (section) section->pooled = 1;
    } else {
        section = static_cast<IniSection *>(malloc(size));
        if (section) section->pooled = 0;
    }
    if (!section) return nullptr;
    section->items = ListCreate(sizeof(IniItem *));
    if (!section->items) {
        if (!section->pooled) free(section);
        return nullptr;
    }
    section->name = reinterpret_cast<char *>(section + 1);
    memcpy(section->name, name, length + 1);
    section->nameLength = length;
    section->sortedItems = nullptr;
    section->sortedSlice = nullptr;
    section->sortedCount = 0;
    section->hasSlice = 0;
    section->itemIndex = nullptr;
    section->itemIndexMask = 0;
    section->line = line;
    section->sorted = sorted ? 1 : 0;
    return section;
}

void FreeSection(IniSection *section) {
    if (!section) return;
    int count = ListNumItems(section->items);
    IniItem **items = ItemArray(section->items);
    for (int i = 0; i < count; ++i)
        FreeItem(items[i]);
    ListDispose(section->items);
    ListDispose(section->sortedItems);
    free(section->itemIndex);
    if (!section->pooled) free(section);
}

IniSection *FindSection(IniObject ini, const char *sectionName) {
    if (!ini || !sectionName) return nullptr;
    if (ini->lastSection && StrICmp(ini->lastSection->name, sectionName) == 0)
        return ini->lastSection;
    IniSection key{};
    key.name = const_cast<char *>(sectionName);
    IniSection *keyPointer = &key;
    IniSection *found = nullptr;
    ListHandle searched =
        ini->sortedSections ? ini->sortedSections : (ini->sorted ? ini->sections : nullptr);
    if (ini->sectionIndex) {
        found = IndexFindSection(ini, sectionName);
    } else if (searched) {
        IniSection **sections = SectionArray(searched);
        int count = ListNumItems(searched);
        int at = SortedPosition(sections, count, &keyPointer, CompareSections, false);
        if (at < count && CompareSections(&keyPointer, &sections[at]) == 0) found = sections[at];
    } else {
        int count = ListNumItems(ini->sections);
        IniSection **sections = SectionArray(ini->sections);
        for (int i = 0; i < count; ++i)
            if (StrICmp(sections[i]->name, sectionName) == 0) {
                found = sections[i];
                break;
            }
    }
    if (found) ini->lastSection = found;
    return found;
}

IniItem *FindItem(IniSection *section, const char *itemName) {
    if (!section || !itemName) return nullptr;
    if (section->itemIndex) return IndexFindItem(section, itemName);
    IniItem *const *sorted = nullptr;
    int sortedCount = 0;
    if (SortedItemArray(section, &sorted, &sortedCount) || section->sorted) {
        if (!sorted) {
            sorted = ItemArray(section->items);
            sortedCount = ListNumItems(section->items);
        }
        int at = SortedPosition(sorted, sortedCount, &itemName, CompareNameWithItem, false);
        return at < sortedCount && CompareNameWithItem(&itemName, &sorted[at]) == 0 ? sorted[at]
                                                                                    : nullptr;
    }
    int count = ListNumItems(section->items);
    IniItem **items = ItemArray(section->items);
    for (int i = 0; i < count; ++i)
        if (StrICmp(ItemName(items[i]), itemName) == 0) return items[i];
    return nullptr;
}

IniItem *LookupItem(IniObject ini, const char *sectionName, const char *itemName) {
    IniItem *item = nullptr;
    bool answeredByIndex = false;
    if (ini && sectionName && itemName && ini->sectionIndex) {
        // The cached section is what the index would find, and cheaper to confirm: its hash
        // settles most mismatches without reading its name, so that one lookup need not wait
        // for the memory read of the one before.
        NameKey sectionKey = MakeNameKey(sectionName);
        bool cached =
            ini->lastSection &&
            (ini->hashedSection != ini->lastSection || ini->lastSectionHash == sectionKey.hash) &&
            SameName(SectionName(ini->lastSection), sectionKey);
        if (!cached) {
            IniSection *section = nullptr;
            item = IndexLookup(ini, sectionKey, itemName, &section);
            if (section) {
                ini->lastSection = section;
                ini->hashedSection = section;
                ini->lastSectionHash = sectionKey.hash;
            }
            answeredByIndex = true;
        }
    }
    if (!answeredByIndex) item = FindItem(FindSection(ini, sectionName), itemName);
    if (item) ini->lineOfLastAccess = item->line;
    return item;
}

void RemovePointer(ListHandle list, const void *pointer) {
    int count = ListNumItems(list);
    void **entries = static_cast<void **>(ListGetDataPtr(list));
    for (int i = 0; i < count; ++i)
        if (entries[i] == pointer) {
            ListRemoveItem(list, nullptr, i + 1);
            return;
        }
}

bool SortedItemArray(const IniSection *section, IniItem *const **array, int *count) {
    if (section->sortedItems) {
        *array = ItemArray(section->sortedItems);
        *count = ListNumItems(section->sortedItems);
        return true;
    }
    if (section->hasSlice) {
        *array = section->sortedSlice;
        *count = section->sortedCount;
        return true;
    }
    return false;
}

void DetachItemCopy(IniSection *section) {
    if (!section->hasSlice) return;
    ListHandle list = ListCreate(sizeof(IniItem *));
    if (list && section->sortedCount > 0 &&
        !ListInsertItems(list, section->sortedSlice, LIST_POS_END, section->sortedCount)) {
        ListDispose(list);
        list = nullptr;
    }
    section->sortedItems = list;
    section->sortedSlice = nullptr;
    section->sortedCount = 0;
    section->hasSlice = 0;
}

void DiscardItemCopy(IniSection *section) {
    ListDispose(section->sortedItems);
    section->sortedItems = nullptr;
    section->sortedSlice = nullptr;
    section->sortedCount = 0;
    section->hasSlice = 0;
}

void RemoveItemAt(IniSection *section, int position) {
    DetachItemCopy(section);
    IniItem *item = *static_cast<IniItem **>(ListGetPtrToItem(section->items, position));
    ListRemoveItem(section->items, nullptr, position);
    if (section->sortedItems) RemovePointer(section->sortedItems, item);
    FreeItem(item);
}

int SortedPosition(const void *entries, int count, const void *key, CompareFunction compare,
                   bool afterEquals) {
    auto *pointers = static_cast<void *const *>(entries);
    int low = 0, high = count;
    while (low < high) {
        int middle = low + (high - low) / 2;
        int order = compare(key, &pointers[middle]);
        if (order > 0 || (afterEquals && order == 0))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

int InsertAfterEqualNames(ListHandle list, const void *pointerToEntry, CompareFunction compare) {
    int count = ListNumItems(list);
    int at = SortedPosition(ListGetDataPtr(list), count, pointerToEntry, compare, true);
    return ListInsertItem(list, pointerToEntry, at < count ? at + 1 : LIST_POS_END);
}

void InsertIntoSortedCopy(ListHandle *copy, const void *pointerToEntry, CompareFunction compare) {
    if (*copy && !InsertAfterEqualNames(*copy, pointerToEntry, compare)) {
        ListDispose(*copy);
        *copy = nullptr;
    }
}

bool IsContinuationName(const char *name, size_t *baseLength, long *pieceNumber) {
    const char *marker = strstr(name, " Line");
    if (!marker) return false;
    const char *digits = marker + 5;
    if (!*digits) return false;
    long number = 0;
    for (const char *p = digits; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        int digit = *p - '0';
        if (number > (LONG_MAX - digit) / 10) return false; // would overflow
        number = number * 10 + digit;
    }
    *baseLength = static_cast<size_t>(marker - name);
    *pieceNumber = number;
    return true;
}

ClassifiedLine ClassifyLine(IniObject ini, const char *line) {
    ClassifiedLine result{LineKind::Unrecognised, nullptr, 0, nullptr, 0};
    const char *p = SkipSpace(line);
    if (!*p) {
        result.kind = LineKind::Blank;
        return result;
    }
    const char *end = p + strlen(p);
    if (static_cast<size_t>(end - p) >= static_cast<size_t>(ini->commentMarkerLength) &&
        memcmp(p, ini->commentMarker, ini->commentMarkerLength) == 0) {
        result.kind = LineKind::Comment;
        return result;
    }
    if (*p == ini->sectionStart) {
        const char *nameStart = SkipSpace(p + 1);
        const char *close = FindLastChar(nameStart, end, ini->sectionEnd);
        if (!close || *SkipSpace(close + 1)) return result;
        size_t length = TrimmedLength(nameStart, static_cast<size_t>(close - nameStart));
        if (length == 0) return result;
        result.kind = LineKind::Section;
        result.name = nameStart;
        result.nameLength = length;
        return result;
    }
    const char *separator = FindToken(p, end, ini->separator, ini->separatorLength);
    if (!separator) return result;
    size_t nameLength = TrimmedLength(p, static_cast<size_t>(separator - p));
    const char *value = SkipSpace(separator + ini->separatorLength);
    size_t valueLength = TrimmedLength(value, static_cast<size_t>(end - value));
    if (nameLength == 0 || valueLength == 0) return result;
    result.kind = LineKind::Item;
    result.name = p;
    result.nameLength = nameLength;
    result.value = value;
    result.valueLength = valueLength;
    return result;
}

int StripQuotes(const char **value, size_t *length) {
    if (*length >= 2 && (*value)[0] == '"' && (*value)[*length - 1] == '"') {
        ++*value;
        *length -= 2;
        return 1;
    }
    return 0;
}

} // namespace ini_detail

// ---- Object and tokens ---------------------------------------------------------------------

IniObject Ini_New(int automaticSorting) {
    auto *ini = static_cast<IniObjectRecord *>(calloc(1, sizeof(IniObjectRecord)));
    if (!ini) return nullptr;
    ini->sections = ListCreate(sizeof(IniSection *));
    if (!ini->sections) {
        free(ini);
        return nullptr;
    }
    ini->sorted = automaticSorting ? 1 : 0;
    ini->lineOfLastAccess = -1;
    ini->sectionStart = '[';
    ini->sectionEnd = ']';
    ini->duplicateChecking = 1;
    Ini_SetTokens(ini, 0, 0, "=", ";");
    return ini;
}

void Ini_Dispose(IniObject ini) {
    if (!ini) return;
    DropLookupIndex(ini);
    int count = ListNumItems(ini->sections);
    IniSection **sections = SectionArray(ini->sections);
    for (int i = 0; i < count; ++i)
        FreeSection(sections[i]);
    ListDispose(ini->sections);
    ListDispose(ini->sortedSections);
    free(ini->sliceBlock);
    DisposeHandle(ini->scratch);
    FreePool(ini);
    free(ini);
}

int Ini_SetTokens(IniObject ini, char sectionStartChar, char sectionEndChar,
                  const char *valueSeparator, const char *commentMarker) {
    if (!ini) return RT_ERR_NULL_POINTER;
    if (sectionStartChar) ini->sectionStart = sectionStartChar;
    if (sectionEndChar) ini->sectionEnd = sectionEndChar;
    if (valueSeparator && *valueSeparator) {
        CopyToken(ini->separator, valueSeparator);
        ini->separatorLength = static_cast<int>(strlen(ini->separator));
        snprintf(ini->outputSeparator, sizeof ini->outputSeparator, " %s ", ini->separator);
        ini->outputSeparatorLength = static_cast<int>(strlen(ini->outputSeparator));
    }
    if (commentMarker && *commentMarker) {
        CopyToken(ini->commentMarker, commentMarker);
        ini->commentMarkerLength = static_cast<int>(strlen(ini->commentMarker));
    }
    return 0;
}

int Ini_SetSectionFilter(IniObject ini, IniSectionFilter filter, void *callbackData) {
    if (!ini) return RT_ERR_NULL_POINTER;
    ini->filter = filter;
    ini->filterData = filter ? callbackData : nullptr;
    return 0;
}

int Ini_SetDuplicateChecking(IniObject ini, int enable) {
    if (!ini) return 0;
    int previous = ini->duplicateChecking;
    ini->duplicateChecking = enable ? 1 : 0;
    return previous;
}

// ---- Reading -------------------------------------------------------------------------------

int Ini_ReadFromFile(IniObject ini, const char *pathName) {
    if (!ini || !pathName) return RT_ERR_NULL_POINTER;
    FILE *file = fopen(pathName, "rb");
    if (!file) return ToolErr_CantOpenFileForReading;
    struct stat info;
    size_t bufferSize = kReadStreamBuffer;
    if (fstat(fileno(file), &info) == 0 && info.st_size >= 0 &&
        static_cast<unsigned long long>(info.st_size) < kReadStreamBuffer)
        bufferSize = std::max(kMinReadStreamBuffer, static_cast<size_t>(info.st_size) + 1);
    setvbuf(file, nullptr, _IOFBF, bufferSize);
    FileSource source{file, true};
    LineFile lineFile = LineFile_New(ReadFileWithoutByteOrderMark, &source);
    int result = RT_ERR_OUT_OF_MEMORY;
    if (lineFile) result = Ini_ReadGeneric(ini, ReadLineFromLineFile, lineFile);
    LineFile_Dispose(lineFile);
    fclose(file);
    return result;
}

int Ini_ReadGeneric(IniObject ini, IniReadLineCallback readLine, void *callbackData) {
    if (!ini || !readLine) return RT_ERR_NULL_POINTER;
    const bool internalSorting = ini->sortedSections != nullptr;
    DropLookupIndex(ini);
    IniSection *current = nullptr;
    char line[kMaxLineChars + 1];
    int result = 0;
    for (;;) {
        line[0] = '\0';
        int endOfFile = 0;
        int lineNumber = 0;
        result = readLine(callbackData, line, kMaxLineChars, &endOfFile, &lineNumber);
        line[kMaxLineChars] = '\0'; // whatever the source did, the line ends inside the buffer
        if (result < 0) break;
        if (endOfFile) {
            if (current) ListCompact(current->items);
            result = JoinMultiLineItems(ini);
            if (result == 0 && ini->sorted) Ini_Sort(ini);
            break;
        }
        ClassifiedLine parsed = ClassifyLine(ini, line);
        if (parsed.kind == LineKind::Section) {
            // The name is a NUL-terminated text for the filter and the new section.
            char *name = const_cast<char *>(parsed.name);
            name[parsed.nameLength] = '\0';
            // A finished section gives back its list's growth room at once, while the memory
            // can still serve the next sections.
            if (current) ListCompact(current->items);
            if (ini->filter && !ini->filter(ini, ini->filterData, name)) {
                current = nullptr;
                continue;
            }
            IniSection *section = NewSection(ini, name, ini->sorted, lineNumber);
            if (!section || !ListInsertItem(ini->sections, &section, LIST_POS_END)) {
                FreeSection(section);
                result = RT_ERR_OUT_OF_MEMORY;
                break;
            }
            current = section;
        } else if (parsed.kind == LineKind::Item && current) {
            const char *value = parsed.value;
            size_t valueLength = parsed.valueLength;
            int quoted = StripQuotes(&value, &valueLength);
            IniItem *item = NewItem(ini, parsed.name, parsed.nameLength, value, valueLength,
                                    lineNumber, quoted);
            if (!item || !ListInsertItem(current->items, &item, LIST_POS_END)) {
                FreeItem(item);
                result = RT_ERR_OUT_OF_MEMORY;
                break;
            }
        }
    }
    if (internalSorting) {
        int sortResult = Ini_SortInternally(ini);
        if (result == 0) result = sortResult;
    }
    return result;
}

// ---- Lookup --------------------------------------------------------------------------------

int Ini_SectionExists(IniObject ini, const char *sectionName) {
    return FindSection(ini, sectionName) ? 1 : 0;
}

int Ini_NumberOfSections(IniObject ini) {
    return ini ? ListNumItems(ini->sections) : 0;
}

int Ini_NthSectionName(IniObject ini, int n, char **sectionNamePtr) {
    if (sectionNamePtr) *sectionNamePtr = nullptr;
    if (!ini || n < 1 || n > ListNumItems(ini->sections)) return 0;
    if (sectionNamePtr) *sectionNamePtr = SectionArray(ini->sections)[n - 1]->name;
    return 1;
}

int Ini_NumberOfItems(IniObject ini, const char *sectionName) {
    IniSection *section = FindSection(ini, sectionName);
    return section ? ListNumItems(section->items) : 0;
}

int Ini_NthItemName(IniObject ini, const char *sectionName, int n, char **itemNamePtr) {
    if (itemNamePtr) *itemNamePtr = nullptr;
    IniSection *section = FindSection(ini, sectionName);
    if (!section || n < 1 || n > ListNumItems(section->items)) return 0;
    if (itemNamePtr) *itemNamePtr = ItemName(ItemArray(section->items)[n - 1]);
    return 1;
}

int Ini_ItemExists(IniObject ini, const char *sectionName, const char *itemName) {
    return LookupItem(ini, sectionName, itemName) ? 1 : 0;
}

int Ini_ItemOrMultiLineItemExists(IniObject ini, const char *sectionName, const char *itemName) {
    return Ini_ItemExists(ini, sectionName, itemName);
}

int Ini_LineOfLastAccess(IniObject ini) {
    return ini ? ini->lineOfLastAccess : -1;
}

// ---- Text getters --------------------------------------------------------------------------

int Ini_GetPointerToRawString(IniObject ini, const char *sectionName, const char *itemName,
                              char **pointer) {
    const char *text;
    int result = GetText(ini, sectionName, itemName, false, &text);
    if (pointer) *pointer = const_cast<char *>(text);
    return result;
}

int Ini_GetPointerToString(IniObject ini, const char *sectionName, const char *itemName,
                           char **pointer) {
    const char *text;
    int result = GetText(ini, sectionName, itemName, true, &text);
    if (pointer) *pointer = const_cast<char *>(text);
    return result;
}

int Ini_GetRawStringCopy(IniObject ini, const char *sectionName, const char *itemName,
                         char **copy) {
    return GetCopy(ini, sectionName, itemName, false, copy);
}

int Ini_GetStringCopy(IniObject ini, const char *sectionName, const char *itemName, char **copy) {
    return GetCopy(ini, sectionName, itemName, true, copy);
}

int Ini_GetRawStringIntoBuffer(IniObject ini, const char *sectionName, const char *itemName,
                               char *buffer, size_t bufferSize) {
    return GetIntoBuffer(ini, sectionName, itemName, false, buffer, bufferSize);
}

int Ini_GetStringIntoBuffer(IniObject ini, const char *sectionName, const char *itemName,
                            char *buffer, size_t bufferSize) {
    return GetIntoBuffer(ini, sectionName, itemName, true, buffer, bufferSize);
}

// ---- Sorting -------------------------------------------------------------------------------

void Ini_Sort(IniObject ini) {
    if (!ini) return;
    int count = ListNumItems(ini->sections);
    IniSection **sections = SectionArray(ini->sections);
    for (int i = 0; i < count; ++i) {
        ListQuickSort(sections[i]->items, CompareItems);
        sections[i]->sorted = 1;
    }
    ListQuickSort(ini->sections, CompareSections);
    ini->sorted = 1;
    // The first of equal section names may have changed places.
    ini->lastSection = nullptr;
    ini->hashedSection = nullptr;
}

namespace {

// Whether a list of pointers is already in order. Files are often written sorted; such a list
// is taken as it is, which costs one pass.
bool InOrder(const void *pointers, int count, CompareFunction compare) {
    auto *entries = static_cast<void *const *>(pointers);
    for (int i = 1; i < count; ++i)
        if (compare(&entries[i - 1], &entries[i]) > 0) return false;
    return true;
}

// The sorted copies keep equal names in list order (a stable sort), so that the first of them
// in the copy is the first in the list: lookups find the same entry with or without copies.
void SortSectionsStably(IniSection **sections, int count) {
    if (InOrder(sections, count, CompareSections)) return;
    std::stable_sort(sections, sections + count, [](const IniSection *a, const IniSection *b) {
        return StrICmp(a->name, b->name) < 0;
    });
}

void SortItemsStably(IniItem **items, int count) {
    if (InOrder(items, count, CompareItems)) return;
    std::stable_sort(items, items + count, [](const IniItem *a, const IniItem *b) {
        return StrICmp(ItemName(a), ItemName(b)) < 0;
    });
}

} // namespace

int Ini_SortInternally(IniObject ini) {
    if (!ini) return RT_ERR_NULL_POINTER;
    DiscardSortedCopies(ini);
    ListHandle sortedSections = ListCopy(ini->sections);
    if (!sortedSections) return RT_ERR_OUT_OF_MEMORY;
    SortSectionsStably(SectionArray(sortedSections), ListNumItems(sortedSections));
    ini->sortedSections = sortedSections;
    // The item copies are slices of one block.
    int count = ListNumItems(ini->sections);
    IniSection **sections = SectionArray(ini->sections);
    size_t total = 0;
    for (int i = 0; i < count; ++i)
        total += static_cast<size_t>(ListNumItems(sections[i]->items));
    ini->sliceBlock =
        static_cast<IniItem **>(malloc(std::max<size_t>(total, 1) * sizeof(IniItem *)));
    if (!ini->sliceBlock) {
        DiscardSortedCopies(ini);
        return RT_ERR_OUT_OF_MEMORY;
    }
    IniItem **slice = ini->sliceBlock;
    for (int i = 0; i < count; ++i) {
        int numItems = ListNumItems(sections[i]->items);
        if (numItems > 0)
            memcpy(slice, ItemArray(sections[i]->items), numItems * sizeof(IniItem *));
        SortItemsStably(slice, numItems);
        sections[i]->sortedSlice = slice;
        sections[i]->sortedCount = numItems;
        sections[i]->hasSlice = 1;
        slice += numItems;
    }
    BuildLookupIndex(ini);
    return 0;
}

void Ini_DisableInternalSorting(IniObject ini) {
    if (ini) DiscardSortedCopies(ini);
}

void Ini_DisableSorting(IniObject ini) {
    if (!ini) return;
    ini->sorted = 0;
    int count = ListNumItems(ini->sections);
    IniSection **sections = SectionArray(ini->sections);
    for (int i = 0; i < count; ++i)
        sections[i]->sorted = 0;
}
