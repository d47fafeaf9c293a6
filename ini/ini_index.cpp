// The lookup index: open-addressing hash tables over the internally sorted copies, so that a
// lookup reads a few cache lines instead of walking a binary search through the heap.
//
// Exactness: for each class of names that compare equal, the table holds the first entry of
// the class in the sorted copy, which is the one the binary search of the copy finds (and,
// the copies being sorted stably, the first in list order). Any change to the object drops
// the index; lookups then take the binary search again.
#include "ini/ini_internal.h"

#include <bit>
#include <cstdlib>
#include <cstring>

namespace ini_detail {

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kMix = 0x9E3779B97F4A7C15ull;

// Eight bytes upper-cased the way StrICmp does it (ASCII letters only), all at once.
uint64_t FoldCase(uint64_t bytes) {
    uint64_t low7 = bytes & (0x7F * kOnes);
    uint64_t fromA = low7 + (0x80 - 'a') * kOnes;     // high bit set where byte >= 'a'
    uint64_t pastZ = low7 + (0x80 - 'z' - 1) * kOnes; // high bit set where byte > 'z'
    uint64_t lower = fromA & ~pastZ & ~bytes & (0x80 * kOnes);
    return bytes - (lower >> 2); // 0x80 >> 2 is the distance from 'a' to 'A'
}

uint64_t Load8(const char *p) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    return word;
}

uint64_t Load4(const char *p) {
    uint32_t word;
    memcpy(&word, p, sizeof word);
    return word;
}

// The last bytes of a name as one word: the last eight (overlapping the word before, which
// is the same for equal names), or, in a shorter name, every byte of it.
[[gnu::always_inline]] inline uint64_t TailWord(const char *p, size_t length) {
    if (length >= 8) return Load8(p + length - 8);
    if (length >= 4) return Load4(p) | Load4(p + length - 4) << 32;
    if (length == 0) return 0;
    auto byte = [p](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])}; };
    return byte(0) | byte(length / 2) << 8 | byte(length - 1) << 16;
}

} // namespace

NameKey MakeNameKey(const char *name) {
    NameKey key;
    key.text = name;
    key.length = strlen(name);
    const size_t length = key.length;
    uint64_t hash = length * kMix;
    for (size_t i = 0; i + 8 < length; i += 8) {
        uint64_t folded = FoldCase(Load8(name + i));
        if (i < 8 * NameKey::kFoldedWords) key.folded[i / 8] = folded;
        hash = std::rotl((hash ^ folded) * kMix, 29);
    }
    key.foldedTail = FoldCase(TailWord(name, length));
    // Every input bit reaches every output bit: the slot comes from the low bits, the tag
    // from the high ones.
    hash = (hash ^ key.foldedTail) * kMix;
    hash = (hash ^ (hash >> 32)) * 0xD6E8FEB86659FD93ull;
    key.hash = hash ^ (hash >> 32);
    return key;
}

[[gnu::always_inline]] inline bool SameNameInline(StoredName stored, const NameKey &key) {
    const size_t length = key.length;
    if (stored.length != length) return false;
    uint64_t differ = FoldCase(TailWord(stored.text, length)) ^ key.foldedTail;
    for (size_t i = 0; i + 8 < length; i += 8) {
        uint64_t wanted =
            i < 8 * NameKey::kFoldedWords ? key.folded[i / 8] : FoldCase(Load8(key.text + i));
        differ |= FoldCase(Load8(stored.text + i)) ^ wanted;
    }
    return differ == 0;
}

bool SameName(StoredName stored, const NameKey &key) {
    return SameNameInline(stored, key);
}

namespace {

constexpr int kTagShift = 48; // slots: pointer in the low 48 bits, hash tag above
constexpr uintptr_t kPointerMask = (uintptr_t{1} << kTagShift) - 1;
constexpr int kMinIndexedItems = 4;
constexpr unsigned kSlotsPerLine = 64 / sizeof(uintptr_t);
constexpr unsigned kPrefetchedSlots = 4 * kSlotsPerLine;
constexpr size_t kMaxCopiedName = 0xFFFF; // its length goes in a slot's tag bits

size_t CopyBytes(size_t nameLength) {
    return (nameLength + 1 + 7) & ~size_t{7}; // NUL-terminated, 8-byte aligned
}

uintptr_t Tag(uint64_t hash) {
    return static_cast<uintptr_t>(hash >> kTagShift) << kTagShift;
}

// Smallest power of two holding count entries at a load of at most 4/5 (with the tags in
// the slots, a longer probe costs no extra memory reads).
unsigned TableSize(int count) {
    unsigned size = 4;
    while (size * 4 < static_cast<unsigned>(count) * 5)
        size *= 2;
    return size;
}

using NameOf = StoredName (*)(const void *entry);

// Lambdas, so that the lookups inline them; they convert to NameOf where a table is built.
constexpr auto SectionNameOf = [](const void *entry) {
    return SectionName(static_cast<const IniSection *>(entry));
};

constexpr auto ItemNameOf = [](const void *entry) {
    return StoredItemName(static_cast<const IniItem *>(entry));
};

// Builds the table of a sorted list of pointers; null when memory is short or a pointer does
// not fit beside its tag.
uintptr_t *BuildTable(void *const *entries, int count, NameOf nameOf, unsigned *mask) {
    unsigned size = TableSize(count);
    auto *table = static_cast<uintptr_t *>(calloc(size, sizeof(uintptr_t)));
    if (!table) return nullptr;
    for (int i = 0; i < count; ++i) {
        const char *name = nameOf(entries[i]).text;
        // One entry per run of equal names: its first.
        if (i > 0 && StrICmp(name, nameOf(entries[i - 1]).text) == 0) continue;
        auto pointer = reinterpret_cast<uintptr_t>(entries[i]);
        if (pointer & ~kPointerMask) {
            free(table);
            return nullptr;
        }
        uint64_t hash = MakeNameKey(name).hash;
        unsigned slot = static_cast<unsigned>(hash) & (size - 1);
        while (table[slot])
            slot = (slot + 1) & (size - 1);
        table[slot] = pointer | Tag(hash);
    }
    *mask = size - 1;
    return table;
}

template <typename NameOfEntry>
const void *FindInTable(const uintptr_t *table, unsigned mask, const NameKey &key,
                        NameOfEntry nameOf) {
    const uintptr_t tag = Tag(key.hash);
    for (unsigned slot = static_cast<unsigned>(key.hash) & mask;; slot = (slot + 1) & mask) {
        uintptr_t entry = table[slot];
        if (!entry) return nullptr;
        if ((entry & ~kPointerMask) == tag) {
            auto *pointer = reinterpret_cast<const void *>(entry & kPointerMask);
            if (SameNameInline(nameOf(pointer), key)) return pointer;
        }
    }
}

} // namespace

void DropLookupIndex(IniObject ini) {
    if (!ini->indexBuilt) return;
    ini->indexBuilt = 0;
    free(ini->sectionIndex);
    ini->sectionIndex = nullptr;
    free(ini->indexedSections);
    ini->indexedSections = nullptr;
    free(ini->sectionNameCopies);
    ini->sectionNameCopies = nullptr;
    int count = ListNumItems(ini->sections);
    auto **sections = static_cast<IniSection **>(ListGetDataPtr(ini->sections));
    for (int i = 0; i < count; ++i) {
        free(sections[i]->itemIndex);
        sections[i]->itemIndex = nullptr;
    }
}

void BuildLookupIndex(IniObject ini) {
    DropLookupIndex(ini);
    if (!ini->sortedSections) return;
    ini->indexBuilt = 1;
    int count = ListNumItems(ini->sections);
    auto **sections = static_cast<IniSection **>(ListGetDataPtr(ini->sections));
    for (int i = 0; i < count; ++i) {
        IniSection *section = sections[i];
        IniItem *const *sorted = nullptr;
        int numItems = 0;
        // A few items are found as fast by the binary search; no table for them.
        if (!SortedItemArray(section, &sorted, &numItems) || numItems <= kMinIndexedItems) continue;
        section->itemIndex = BuildTable(reinterpret_cast<void *const *>(sorted), numItems,
                                        ItemNameOf, &section->itemIndexMask);
        if (!section->itemIndex) {
            DropLookupIndex(ini); // without memory for all of it, no index at all
            return;
        }
    }
    ini->sectionIndex =
        BuildTable(static_cast<void *const *>(ListGetDataPtr(ini->sortedSections)),
                   ListNumItems(ini->sortedSections), SectionNameOf, &ini->sectionIndexMask);
    if (!ini->sectionIndex) {
        DropLookupIndex(ini);
        return;
    }
    // Beside each section slot, the section's item table (its size in the tag bits) and a
    // copy of its name, all copies in one block: a lookup checks the name in that small,
    // often cached block, while it reads the item table, instead of waiting for the section.
    unsigned size = ini->sectionIndexMask + 1;
    ini->indexedSections = static_cast<IndexedSection *>(calloc(size, sizeof(IndexedSection)));
    size_t copyBytes = 0;
    for (int i = 0; i < count; ++i)
        if (sections[i]->itemIndex && sections[i]->nameLength <= kMaxCopiedName)
            copyBytes += CopyBytes(sections[i]->nameLength);
    ini->sectionNameCopies = static_cast<char *>(calloc(copyBytes + 1, 1));
    if (!ini->indexedSections || !ini->sectionNameCopies) {
        DropLookupIndex(ini);
        return;
    }
    char *copy = ini->sectionNameCopies;
    for (unsigned slot = 0; slot < size; ++slot) {
        auto *section = reinterpret_cast<IniSection *>(ini->sectionIndex[slot] & kPointerMask);
        if (!section || !section->itemIndex) continue;
        auto table = reinterpret_cast<uintptr_t>(section->itemIndex);
        auto copyPointer = reinterpret_cast<uintptr_t>(copy);
        if ((table | copyPointer) & ~kPointerMask) {
            DropLookupIndex(ini);
            return;
        }
        uintptr_t bits = static_cast<uintptr_t>(__builtin_ctz(section->itemIndexMask + 1));
        ini->indexedSections[slot].itemTable = table | (bits << kTagShift);
        if (section->nameLength <= kMaxCopiedName) {
            memcpy(copy, section->name, section->nameLength);
            ini->indexedSections[slot].nameCopy =
                copyPointer | (uintptr_t{section->nameLength} << kTagShift);
            copy += CopyBytes(section->nameLength);
        }
    }
}

IniSection *IndexFindSection(IniObject ini, const char *sectionName) {
    return static_cast<IniSection *>(const_cast<void *>(FindInTable(
        ini->sectionIndex, ini->sectionIndexMask, MakeNameKey(sectionName), SectionNameOf)));
}

IniItem *IndexLookup(IniObject ini, const NameKey &sectionKey, const char *itemName,
                     IniSection **section) {
    *section = nullptr;
    const uintptr_t tag = Tag(sectionKey.hash);
    const unsigned mask = ini->sectionIndexMask;
    for (unsigned slot = static_cast<unsigned>(sectionKey.hash) & mask;; slot = (slot + 1) & mask) {
        uintptr_t entry = ini->sectionIndex[slot];
        if (!entry) return nullptr;
        if ((entry & ~kPointerMask) != tag) continue;
        auto *candidate = reinterpret_cast<IniSection *>(entry & kPointerMask);
        const IndexedSection &indexed = ini->indexedSections[slot];
        const uintptr_t items = indexed.itemTable;
        const auto *table = reinterpret_cast<const uintptr_t *>(items & kPointerMask);
        const unsigned itemMask = (1u << (items >> kTagShift)) - 1;
        // Start reading the item table (small ones whole) before the item's name is hashed.
        for (unsigned i = 0; items && i <= itemMask && i < kPrefetchedSlots; i += kSlotsPerLine)
            __builtin_prefetch(table + i);
        const StoredName name =
            indexed.nameCopy
                ? StoredName{reinterpret_cast<const char *>(indexed.nameCopy & kPointerMask),
                             indexed.nameCopy >> kTagShift}
                : SectionName(candidate);
        if (!SameNameInline(name, sectionKey)) continue;
        *section = candidate;
        if (!items) return FindItem(candidate, itemName);
        return static_cast<IniItem *>(
            const_cast<void *>(FindInTable(table, itemMask, MakeNameKey(itemName), ItemNameOf)));
    }
}

IniItem *IndexFindItem(const IniSection *section, const char *itemName) {
    return static_cast<IniItem *>(const_cast<void *>(FindInTable(
        section->itemIndex, section->itemIndexMask, MakeNameKey(itemName), ItemNameOf)));
}

} // namespace ini_detail
