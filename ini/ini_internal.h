// Records and shared helpers of the INI object, private to ini/*.cpp.
#pragma once

#include "ini/ini.h"
#include "toolbox/core/errors.h"
#include "toolbox/core/list.h"

#include <cstddef>
#include <cstdint>

namespace ini_detail {

constexpr int kMaxLineChars = 255; // longest line the reader takes in
constexpr int kMaxTokenBytes = 7;  // separator and comment marker
constexpr int kScratchGranule = 1024;

// One block: the record, then the name and the value, each NUL-terminated. Items read from
// a source come from the object's pool (no allocation overhead per item; the pool is freed
// with the object), items of puts from malloc, so that replacing values does not pile up.
struct IniItem {
    char *value;
    int line;
    unsigned char quoted;
    unsigned char pooled;
};

inline char *ItemName(const IniItem *item) {
    return reinterpret_cast<char *>(const_cast<IniItem *>(item) + 1);
}

// Blocks that pooled items are cut from.
struct PoolChunk {
    PoolChunk *next;
    size_t used;
    size_t size;
};

struct IniSection {
    char *name; // stored behind the record, in the same block
    size_t nameLength;
    ListHandle items; // IniItem*, file or insertion order (or sorted)
    // The sorted items copy: a list, or, as Ini_SortInternally makes it, a slice of one block
    // shared by all sections (sortedSlice, sortedCount; hasSlice set), which becomes a list
    // of its own as soon as it has to change. Neither when there is no copy.
    ListHandle sortedItems;
    IniItem **sortedSlice;
    int sortedCount;
    unsigned char hasSlice;
    int line;
    unsigned char sorted;
    unsigned char pooled;
    uintptr_t *itemIndex; // lookup index of sortedItems (see LookupIndex), or null
    unsigned itemIndexMask;
};

// Per slot of the section index: the section's item table, its size's log2 in the tag bits
// (0: no table), and a copy of the section's name, its length in the tag bits (0: none).
struct IndexedSection {
    uintptr_t itemTable;
    uintptr_t nameCopy;
};

} // namespace ini_detail

struct IniObjectRecord {
    ListHandle sections;       // ini_detail::IniSection*
    ListHandle sortedSections; // the same pointers sorted by name, or null
    ini_detail::IniSection *lastSection;
    ini_detail::IniSection *hashedSection; // lastSectionHash is the hash of this one's name
    uint64_t lastSectionHash;
    unsigned char sorted;
    int lineOfLastAccess;
    char separator[ini_detail::kMaxTokenBytes + 1];
    int separatorLength;
    char outputSeparator[ini_detail::kMaxTokenBytes + 3];
    int outputSeparatorLength;
    char sectionStart;
    char sectionEnd;
    char commentMarker[ini_detail::kMaxTokenBytes + 1];
    int commentMarkerLength;
    int duplicateChecking;
    IniSectionFilter filter;
    void *filterData;
    MemHandle scratch;
    ini_detail::PoolChunk *pool;      // newest chunk first
    ini_detail::IniItem **sliceBlock; // the sorted item copies of Ini_SortInternally
    // Hash index of the sorted copies, built by Ini_SortInternally and dropped by any change:
    // it gives exactly what the binary search of the copies would find, in fewer memory reads.
    uintptr_t *sectionIndex;
    ini_detail::IndexedSection *indexedSections; // per slot of sectionIndex
    char *sectionNameCopies;                     // the block of the name copies
    unsigned sectionIndexMask;
    unsigned char indexBuilt; // section tables may exist
};

namespace ini_detail {

// Case-insensitive comparison of names: bytes through toupper (ASCII letters), then compared
// as unsigned; a null name sorts before any other.
int StrICmp(const char *a, const char *b);
// Comparisons for lists of IniSection* and IniItem*.
int CompareSections(const void *a, const void *b);
int CompareItems(const void *a, const void *b);
// Search comparison: a pointer to a name against an IniItem* of a list.
int CompareNameWithItem(const void *key, const void *item);

// A new item; from the pool of `pool` when given, else from malloc. Null when out of memory.
IniItem *NewItem(IniObject pool, const char *name, size_t nameLength, const char *value,
                 size_t valueLength, int line, int quoted);
void FreeItem(IniItem *item);
void FreePool(IniObject ini);
// A new empty section (from the pool of `pool` when given); null when out of memory.
IniSection *NewSection(IniObject pool, const char *name, int sorted, int line);
void FreeSection(IniSection *section);

IniSection *FindSection(IniObject ini, const char *sectionName);
IniItem *FindItem(IniSection *section, const char *itemName);
// Section and item lookup; records the line of the item found. Null when not found.
IniItem *LookupItem(IniObject ini, const char *sectionName, const char *itemName);

// The lookup index (see IniObjectRecord::sectionIndex).
void BuildLookupIndex(IniObject ini);
void DropLookupIndex(IniObject ini);
IniSection *IndexFindSection(IniObject ini, const char *sectionName);
IniItem *IndexFindItem(const IniSection *section, const char *itemName);
// A name prepared for the index: its length and its hash as StrICmp sees it (names that
// compare equal hash equal).
struct NameKey {
    static constexpr size_t kFoldedWords = 4;
    const char *text;
    size_t length;
    uint64_t hash;
    uint64_t folded[kFoldedWords]; // the first words, upper-cased, for the comparisons
    uint64_t foldedTail;
};
NameKey MakeNameKey(const char *name);
struct StoredName {
    const char *text;
    size_t length;
};
inline StoredName StoredItemName(const IniItem *item) {
    const char *name = ItemName(item);
    return {name, static_cast<size_t>(item->value - name) - 1}; // the value follows the name
}
inline StoredName SectionName(const IniSection *section) {
    return {section->name, section->nameLength};
}
// Whether a stored name compares equal to the key's name.
bool SameName(StoredName stored, const NameKey &key);
// Section and item in one pass over the index (the object's cache not consulted); stores the
// section found, or null.
IniItem *IndexLookup(IniObject ini, const NameKey &sectionKey, const char *itemName,
                     IniSection **section);

// The section's sorted items copy as an array; false when there is none.
bool SortedItemArray(const IniSection *section, IniItem *const **array, int *count);
// Makes the copy a list of its own before it changes (no copy when memory is short).
void DetachItemCopy(IniSection *section);
void DiscardItemCopy(IniSection *section);

// Binary search of a sorted array of pointers: the index of the first entry the key does not
// sort after (the first of equal names), or, with `afterEquals`, of the first it sorts before.
// count when there is none.
int SortedPosition(const void *entries, int count, const void *key, CompareFunction compare,
                   bool afterEquals);
// Inserts into a sorted list after the entries of an equal name, so that equal names keep the
// order in which they came. 1, or 0 when memory is short.
int InsertAfterEqualNames(ListHandle list, const void *pointerToEntry, CompareFunction compare);
// Removes the item at a position of the section's list (and from its sorted copy) and frees it.
void RemoveItemAt(IniSection *section, int position);
// Inserts into a sorted copy after equal names; on failure the copy is discarded (set to null).
void InsertIntoSortedCopy(ListHandle *copy, const void *pointerToEntry, CompareFunction compare);
// Removes a pointer from a list by identity.
void RemovePointer(ListHandle list, const void *pointer);

// Recognises "<base> Line<digits>"; stores the base length and the piece number.
bool IsContinuationName(const char *name, size_t *baseLength, long *pieceNumber);

// How a line reads back (the classification of the reader).
enum class LineKind { Blank, Comment, Section, Item, Unrecognised };
struct ClassifiedLine {
    LineKind kind;
    const char *name;
    size_t nameLength;
    const char *value; // items: value without surrounding white space
    size_t valueLength;
};
ClassifiedLine ClassifyLine(IniObject ini, const char *line);
// Removes enclosing double quotes in place on (value, length); returns the quoted flag.
int StripQuotes(const char **value, size_t *length);

} // namespace ini_detail
