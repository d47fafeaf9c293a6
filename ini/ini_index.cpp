// The lookup index: open-addressing hash tables over the internally sorted copies, so that a
// lookup reads a few cache lines instead of walking a binary search through the heap.
//
// Exactness: for each class of names that compare equal, the table holds the entry that the
// binary search of the sorted copy finds for that name (found with that very search when the
// index is built). The search path depends only on the comparison results, which are equal
// for all names of a class, so index and binary search always agree. Any change to the
// object drops the index; lookups then take the binary search again.
#include "ini/ini_internal.h"

#include <cstdlib>
#include <cstring>

namespace ini_detail {

namespace {

constexpr int kTagShift = 48; // slots: pointer in the low 48 bits, hash tag above
constexpr uintptr_t kPointerMask = (uintptr_t{1} << kTagShift) - 1;
constexpr int kMinIndexedItems = 4;

// FNV-1a over the names as StrICmp sees them (ASCII letters upper-cased).
uint64_t HashName(const char *name)
{
    uint64_t hash = 14695981039346656037ull;
    for (auto p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
        unsigned c = *p;
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

uintptr_t Tag(uint64_t hash)
{
    return static_cast<uintptr_t>(hash >> kTagShift) << kTagShift;
}

// Smallest power of two holding count entries at a load of at most 4/5 (with the tags in
// the slots, a longer probe costs no extra memory reads).
unsigned TableSize(int count)
{
    unsigned size = 4;
    while (size * 4 < static_cast<unsigned>(count) * 5)
        size *= 2;
    return size;
}

using NameOf = const char *(*)(const void *entry);

const char *SectionNameOf(const void *entry)
{
    return static_cast<const IniSection *>(entry)->name;
}

const char *ItemNameOf(const void *entry)
{
    return ItemName(static_cast<const IniItem *>(entry));
}

// Builds the table of a sorted list of pointers; null when memory is short or a pointer does
// not fit beside its tag.
uintptr_t *BuildTable(void *const *entries, int count, CompareFunction searchCompare,
                      NameOf nameOf, unsigned *mask)
{
    unsigned size = TableSize(count);
    auto *table = static_cast<uintptr_t *>(calloc(size, sizeof(uintptr_t)));
    if (!table)
        return nullptr;
    for (int i = 0; i < count; ++i) {
        const char *name = nameOf(entries[i]);
        // One entry per run of equal names: the one the binary search finds.
        if (i > 0 && StrICmp(nameOf(entries[i - 1]), name) == 0)
            continue;
        int index = BinSearch(entries, count, sizeof(void *), &name, searchCompare);
        auto pointer = reinterpret_cast<uintptr_t>(entries[index >= 0 ? index : i]);
        if (pointer & ~kPointerMask) {
            free(table);
            return nullptr;
        }
        uint64_t hash = HashName(name);
        unsigned slot = static_cast<unsigned>(hash) & (size - 1);
        while (table[slot])
            slot = (slot + 1) & (size - 1);
        table[slot] = pointer | Tag(hash);
    }
    *mask = size - 1;
    return table;
}

const void *FindInTable(const uintptr_t *table, unsigned mask, const char *name, NameOf nameOf)
{
    uint64_t hash = HashName(name);
    uintptr_t tag = Tag(hash);
    for (unsigned slot = static_cast<unsigned>(hash) & mask;; slot = (slot + 1) & mask) {
        uintptr_t entry = table[slot];
        if (!entry)
            return nullptr;
        if ((entry & ~kPointerMask) == tag) {
            auto *pointer = reinterpret_cast<const void *>(entry & kPointerMask);
            if (StrICmp(nameOf(pointer), name) == 0)
                return pointer;
        }
    }
}

int CompareNameWithSection(const void *key, const void *section)
{
    return StrICmp(*static_cast<const char *const *>(key),
                   (*static_cast<IniSection *const *>(section))->name);
}

} // namespace

void DropLookupIndex(IniObject ini)
{
    if (!ini->indexBuilt)
        return;
    ini->indexBuilt = 0;
    free(ini->sectionIndex);
    ini->sectionIndex = nullptr;
    free(ini->sectionIndexTables);
    ini->sectionIndexTables = nullptr;
    int count = ListNumItems(ini->sections);
    auto **sections = static_cast<IniSection **>(ListGetDataPtr(ini->sections));
    for (int i = 0; i < count; ++i) {
        free(sections[i]->itemIndex);
        sections[i]->itemIndex = nullptr;
    }
}

void BuildLookupIndex(IniObject ini)
{
    DropLookupIndex(ini);
    if (!ini->sortedSections)
        return;
    ini->indexBuilt = 1;
    int count = ListNumItems(ini->sections);
    auto **sections = static_cast<IniSection **>(ListGetDataPtr(ini->sections));
    for (int i = 0; i < count; ++i) {
        IniSection *section = sections[i];
        IniItem *const *sorted = nullptr;
        int numItems = 0;
        // A few items are found as fast by the binary search; no table for them.
        if (!SortedItemArray(section, &sorted, &numItems) || numItems <= kMinIndexedItems)
            continue;
        section->itemIndex = BuildTable(reinterpret_cast<void *const *>(sorted), numItems,
                                        CompareNameWithItem, ItemNameOf, &section->itemIndexMask);
        if (!section->itemIndex) {
            DropLookupIndex(ini); // without memory for all of it, no index at all
            return;
        }
    }
    ini->sectionIndex = BuildTable(static_cast<void *const *>(ListGetDataPtr(ini->sortedSections)),
                                   ListNumItems(ini->sortedSections), CompareNameWithSection,
                                   SectionNameOf, &ini->sectionIndexMask);
    if (!ini->sectionIndex) {
        DropLookupIndex(ini);
        return;
    }
    // Beside each section slot, the section's item table (its size in the tag bits), so that
    // a lookup reads the section and its item table at the same time.
    unsigned size = ini->sectionIndexMask + 1;
    ini->sectionIndexTables = static_cast<uintptr_t *>(calloc(size, sizeof(uintptr_t)));
    if (!ini->sectionIndexTables) {
        DropLookupIndex(ini);
        return;
    }
    for (unsigned slot = 0; slot < size; ++slot) {
        auto *section = reinterpret_cast<IniSection *>(ini->sectionIndex[slot] & kPointerMask);
        if (!section || !section->itemIndex)
            continue;
        auto table = reinterpret_cast<uintptr_t>(section->itemIndex);
        if (table & ~kPointerMask) {
            DropLookupIndex(ini);
            return;
        }
        uintptr_t bits = static_cast<uintptr_t>(__builtin_ctz(section->itemIndexMask + 1));
        ini->sectionIndexTables[slot] = table | (bits << kTagShift);
    }
}

IniSection *IndexFindSection(IniObject ini, const char *sectionName)
{
    return static_cast<IniSection *>(const_cast<void *>(
        FindInTable(ini->sectionIndex, ini->sectionIndexMask, sectionName, SectionNameOf)));
}

IniItem *IndexLookup(IniObject ini, const char *sectionName, const char *itemName,
                     IniSection **section)
{
    *section = nullptr;
    const uint64_t sectionHash = HashName(sectionName);
    const uint64_t itemHash = HashName(itemName);
    const uintptr_t tag = Tag(sectionHash);
    const unsigned mask = ini->sectionIndexMask;
    for (unsigned slot = static_cast<unsigned>(sectionHash) & mask;; slot = (slot + 1) & mask) {
        uintptr_t entry = ini->sectionIndex[slot];
        if (!entry)
            return nullptr;
        if ((entry & ~kPointerMask) != tag)
            continue;
        auto *candidate = reinterpret_cast<IniSection *>(entry & kPointerMask);
        uintptr_t items = ini->sectionIndexTables[slot];
        if (StrICmp(candidate->name, sectionName) != 0)
            continue;
        *section = candidate;
        if (!items)
            return FindItem(candidate, itemName);
        const auto *table = reinterpret_cast<const uintptr_t *>(items & kPointerMask);
        const unsigned itemMask = (1u << (items >> kTagShift)) - 1;
        const uintptr_t itemTag = Tag(itemHash);
        for (unsigned i = static_cast<unsigned>(itemHash) & itemMask;; i = (i + 1) & itemMask) {
            uintptr_t itemEntry = table[i];
            if (!itemEntry)
                return nullptr;
            if ((itemEntry & ~kPointerMask) == itemTag) {
                auto *item = reinterpret_cast<IniItem *>(itemEntry & kPointerMask);
                if (StrICmp(ItemName(item), itemName) == 0)
                    return item;
            }
        }
    }
}

IniItem *IndexFindItem(const IniSection *section, const char *itemName)
{
    return static_cast<IniItem *>(const_cast<void *>(
        FindInTable(section->itemIndex, section->itemIndexMask, itemName, ItemNameOf)));
}

} // namespace ini_detail
