// Memory handles, the dynamic list and the array routines under it. See toolbox/list.h for what
// each entry point takes and returns; the comments here say why the code looks as it does.
#include "toolbox/core/list.h"
#include "toolbox/core/list_testing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "toolbox/core/toolbox.h"

// ---- Memory handles ---------------------------------------------------------------------------

namespace {

// Allocation failure injection for tests: after `skip` successful allocations the next `count`
// fail. Single-threaded like the rest of the module.
int g_failSkip = 0;
int g_failCount = 0;

bool allocationAllowed() {
    if (g_failCount <= 0) return true;
    if (g_failSkip > 0) {
        --g_failSkip;
        return true;
    }
    --g_failCount;
    return false;
}

void *allocateZeroed(std::size_t size) {
    if (!allocationAllowed()) return nullptr;
    return std::calloc(size == 0 ? 1 : size, 1);
}

void *reallocate(void *block, std::size_t size) {
    if (!allocationAllowed()) return nullptr;
    return std::realloc(block, size);
}

} // namespace

void ListTestFailAllocations(int skip, int count) {
    g_failSkip = skip > 0 ? skip : 0;
    g_failCount = count > 0 ? count : 0;
}

MemHandle NewHandle(unsigned int size) {
    if (!allocationAllowed()) return nullptr;
    auto *handle = static_cast<MemHandleRecord *>(std::malloc(sizeof(MemHandleRecord)));
    if (!handle) return nullptr;
    *handle = MemHandleRecord{nullptr, 0};
    if (size != 0) {
        handle->block = allocateZeroed(size);
        if (!handle->block) {
            std::free(handle);
            return nullptr;
        }
    }
    handle->size = size;
    return handle;
}

void DisposeHandle(MemHandle handle) {
    if (!handle) return;
    std::free(handle->block);
    std::free(handle);
}

unsigned int GetHandleSize(MemHandle handle) {
    DoAssert(handle != nullptr, __FILE__, __LINE__, "Parameter 1 to GetHandleSize was NULL.");
    return handle->size;
}

void *GetHandleBlock(MemHandle handle) {
    return handle ? handle->block : nullptr;
}

int SetHandleSize(MemHandle handle, unsigned int newSize) {
    DoAssert(handle != nullptr, __FILE__, __LINE__, "Parameter 1 to SetHandleSize was NULL.");
    if (newSize == handle->size) return 1;
    if (newSize == 0) {
        // realloc to 0 is implementation-defined; release explicitly instead.
        std::free(handle->block);
        handle->block = nullptr;
        handle->size = 0;
        return 1;
    }
    void *block = reallocate(handle->block, newSize);
    if (!block) return 0;
    if (newSize > handle->size)
        std::memset(static_cast<char *>(block) + handle->size, 0, newSize - handle->size);
    handle->block = block;
    handle->size = newSize;
    return 1;
}

// ---- Lists -------------------------------------------------------------------------------------

namespace {

using ListHeader = ks_list_detail::Header;
static_assert(sizeof(ListHeader) == 24, "six 32-bit header fields");

constexpr std::int32_t kListTag = 0x4C495354; // "LIST"
constexpr std::int32_t kDefaultGrowthPercentage = 10;
constexpr std::int32_t kDefaultMinimumGrowth = 4;
// The handle's size field is 32 bits wide; a list can never need more.
constexpr std::uint64_t kMaxBlockSize = std::numeric_limits<std::uint32_t>::max();

inline ListHeader *header(ListHandle list) {
    return static_cast<ListHeader *>(list->block);
}
inline char *items(ListHandle list) {
    return static_cast<char *>(list->block) + sizeof(ListHeader);
}
inline char *itemAt(ListHandle list, int position) { // position 1-based and valid
    return items(list) + static_cast<std::size_t>(position - 1) * header(list)->itemSize;
}

// Resizes the block to hold exactly `slots` items; the header is untouched (the caller updates
// the slot count once the resize has succeeded). False when the size is unrepresentable or the
// allocation fails; the list is then unchanged.
bool resizeSlots(ListHandle list, std::int64_t slots) {
    if (slots < 0 || slots > std::numeric_limits<std::int32_t>::max()) return false;
    std::uint64_t bytes =
        sizeof(ListHeader) +
        static_cast<std::uint64_t>(slots) * static_cast<std::uint64_t>(header(list)->itemSize);
    if (bytes > kMaxBlockSize) return false;
    if (!SetHandleSize(list, static_cast<unsigned int>(bytes))) return false;
    header(list)->allocated = static_cast<std::int32_t>(slots);
    return true;
}

// Slots added by one automatic growth on top of what is needed. Computed in 64 bits so a large
// list cannot overflow; a caller-set policy that comes out negative adds nothing extra.
std::int64_t policyIncrement(const ListHeader *h) {
    std::int64_t byPercentage = static_cast<std::int64_t>(h->allocated) *
                                (100 + static_cast<std::int64_t>(h->growthPercentage)) / 100;
    return std::max<std::int64_t>({h->minimumGrowth, byPercentage, 0});
}

// Resolves LIST_POS_FRONT / LIST_POS_END for reading, replacing, removing and searching.
inline std::int64_t resolvePosition(int position, int count) {
    if (position == LIST_POS_FRONT) return 1;
    if (position == LIST_POS_END) return count;
    return position;
}

// True when `num` items from `position` (constants resolved) lie within 1..count.
bool rangeValid(const ListHeader *h, int position, int num, std::int64_t *first) {
    if (num < 1 || h->count == 0) return false;
    std::int64_t p = resolvePosition(position, h->count);
    if (p < 1 || p + num - 1 > h->count) return false;
    *first = p;
    return true;
}

inline void copyItem(void *dst, const void *src, int itemSize) {
    // The common sizes get fixed-size copies the compiler turns into plain moves.
    switch (itemSize) {
    case 4:
        std::memcpy(dst, src, 4);
        break;
    case 8:
        std::memcpy(dst, src, 8);
        break;
    default:
        std::memcpy(dst, src, static_cast<std::size_t>(itemSize));
        break;
    }
}

bool pointsIntoBlock(ListHandle list, const void *pointer) {
    auto address = reinterpret_cast<std::uintptr_t>(pointer);
    auto start = reinterpret_cast<std::uintptr_t>(list->block);
    return address >= start && address < start + list->size;
}

int compareBytes(const void *a, const void *b, std::size_t size) {
    return std::memcmp(a, b, size);
}

inline int compareItems(CompareFunction compare, const void *a, const void *b, int itemSize) {
    return compare ? compare(a, b) : compareBytes(a, b, static_cast<std::size_t>(itemSize));
}

} // namespace

ListHandle ListCreate(int itemSize) {
    if (itemSize < 1) // a list of items of no size cannot be addressed
        return nullptr;
    ListHandle list = NewHandle(sizeof(ListHeader));
    if (!list) return nullptr;
    *header(list) =
        ListHeader{kListTag, kDefaultGrowthPercentage, kDefaultMinimumGrowth, 0, itemSize, 0};
    return list;
}

void ListDispose(ListHandle list) {
    DisposeHandle(list);
}

void ListDisposePtrList(ListHandle list) {
    if (!list) return;
    // Only a list of pointer-sized items can hold pointers; anything else is merely disposed.
    int count =
        header(list)->itemSize == static_cast<int>(sizeof(void *)) ? header(list)->count : 0;
    for (int position = 1; position <= count; ++position) {
        void *pointer = nullptr;
        std::memcpy(&pointer, itemAt(list, position), sizeof pointer);
        std::free(pointer);
    }
    ListDispose(list);
}

void ListClear(ListHandle list) {
    if (list) header(list)->count = 0;
}

ListHandle ListCopy(ListHandle list) {
    if (!list) return nullptr;
    const ListHeader *h = header(list);
    std::size_t bytes = sizeof(ListHeader) + static_cast<std::size_t>(h->count) * h->itemSize;
    ListHandle copy = NewHandle(static_cast<unsigned int>(bytes));
    if (!copy) return nullptr;
    std::memcpy(copy->block, list->block, bytes);
    header(copy)->allocated = h->count;
    return copy;
}

int ListAppend(ListHandle destination, ListHandle source) {
    if (!source) return 1;
    if (!destination || header(destination)->itemSize != header(source)->itemSize) return 0;
    const int sourceCount = header(source)->count;
    if (sourceCount == 0) return 1;
    const int destinationCount = header(destination)->count;
    const std::int64_t total = static_cast<std::int64_t>(destinationCount) + sourceCount;
    if (!resizeSlots(destination, total)) return 0;
    // Re-read the source block after the resize: when appending a list to itself it has moved.
    std::memmove(itemAt(destination, destinationCount + 1), items(source),
                 static_cast<std::size_t>(sourceCount) * header(source)->itemSize);
    header(destination)->count = static_cast<std::int32_t>(total);
    return 1;
}

int ListInsertItems(ListHandle list, const void *ptrToItems, int position, int numItems) {
    if (!list || numItems <= 0) return 0;
    const int count = header(list)->count;
    if (count < std::numeric_limits<int>::max() && position == count + 1) position = LIST_POS_END;
    if (position > count || position < LIST_POS_FRONT) return 0;
    // Items taken from this very list would move (or vanish) when the block grows or the tail
    // shifts: insert from a private copy instead.
    std::unique_ptr<void, decltype(&std::free)> ownCopy(nullptr, &std::free);
    if (ptrToItems && pointsIntoBlock(list, ptrToItems)) {
        const std::size_t bytes =
            static_cast<std::size_t>(numItems) * static_cast<std::size_t>(header(list)->itemSize);
        ownCopy.reset(std::malloc(bytes));
        if (!ownCopy) return 0;
        std::memcpy(ownCopy.get(), ptrToItems, bytes);
        ptrToItems = ownCopy.get();
    }
    {
        const ListHeader *h = header(list);
        if (static_cast<std::int64_t>(count) + numItems > h->allocated &&
            !resizeSlots(list,
                         h->allocated + static_cast<std::int64_t>(numItems) + policyIncrement(h)))
            return 0;
    }
    ListHeader *h = header(list); // the block may have moved
    if (position == LIST_POS_FRONT) position = h->count == 0 ? LIST_POS_END : 1;
    const std::size_t itemSize = static_cast<std::size_t>(h->itemSize);
    const std::size_t bytes = static_cast<std::size_t>(numItems) * itemSize;
    char *gap;
    if (position == LIST_POS_END) {
        gap = items(list) + static_cast<std::size_t>(h->count) * itemSize;
    } else {
        gap = itemAt(list, position);
        std::memmove(gap + bytes, gap,
                     static_cast<std::size_t>(h->count - position + 1) * itemSize);
    }
    if (ptrToItems)
        std::memcpy(gap, ptrToItems, bytes);
    else
        std::memset(gap, 0, bytes);
    h->count += numItems;
    return 1;
}

void ListReplaceItem(ListHandle list, const void *ptrToItem, int position) {
    ListReplaceItems(list, ptrToItem, position, 1);
}

void ListReplaceItems(ListHandle list, const void *ptrToItems, int position, int numItems) {
    std::int64_t first = 0;
    if (!list || !ptrToItems || !rangeValid(header(list), position, numItems, &first)) return;
    std::memmove(itemAt(list, static_cast<int>(first)), ptrToItems,
                 static_cast<std::size_t>(numItems) * header(list)->itemSize);
}

void ListRemoveItem(ListHandle list, void *destination, int position) {
    ListRemoveItems(list, destination, position, 1);
}

void ListRemoveItems(ListHandle list, void *destination, int position, int numItems) {
    std::int64_t first = 0;
    if (!list || !rangeValid(header(list), position, numItems, &first)) return;
    ListHeader *h = header(list);
    const std::size_t itemSize = static_cast<std::size_t>(h->itemSize);
    char *start = itemAt(list, static_cast<int>(first));
    if (destination)
        std::memmove(destination, start, static_cast<std::size_t>(numItems) * itemSize);
    std::int64_t behind = h->count - (first + numItems - 1);
    std::memmove(start, start + static_cast<std::size_t>(numItems) * itemSize,
                 static_cast<std::size_t>(behind) * itemSize);
    h->count -= numItems;
}

void ListGetItem(ListHandle list, void *destination, int position) {
    if (list && destination) {
        const ListHeader *h = header(list);
        if (position >= 1 && position <= h->count) {
            copyItem(destination, itemAt(list, position), h->itemSize);
            return;
        }
    }
    ListGetItems(list, destination, position, 1);
}

void ListGetItems(ListHandle list, void *destination, int position, int numItems) {
    std::int64_t first = 0;
    if (!list || !destination || !rangeValid(header(list), position, numItems, &first)) return;
    std::memmove(destination, itemAt(list, static_cast<int>(first)),
                 static_cast<std::size_t>(numItems) * header(list)->itemSize);
}

void *ListGetPtrToItem(ListHandle list, int position) {
    std::int64_t first = 0;
    if (!list || !rangeValid(header(list), position, 1, &first)) return nullptr;
    return itemAt(list, static_cast<int>(first));
}

void *ListGetDataPtr(ListHandle list) {
    return list ? items(list) : nullptr;
}

int ListGetItemSize(ListHandle list) {
    return list ? header(list)->itemSize : 0;
}

int ListNumItems(ListHandle list) {
    return list ? header(list)->count : 0;
}

int ListEqual(ListHandle listA, ListHandle listB) {
    if (listA == listB) return 1;
    if (!listA || !listB) return 0;
    const ListHeader *a = header(listA);
    const ListHeader *b = header(listB);
    if (a->itemSize != b->itemSize || a->count != b->count) return 0;
    return std::memcmp(items(listA), items(listB),
                       static_cast<std::size_t>(a->count) * a->itemSize) == 0;
}

int ListFindItem(ListHandle list, const void *ptrToItem, int startingPosition,
                 CompareFunction compareFunction) {
    if (!list || !ptrToItem) return 0;
    const ListHeader *h = header(list);
    std::int64_t start = resolvePosition(startingPosition, h->count);
    if (h->count == 0 || start < 1 || start > h->count) return 0;
    const int itemSize = h->itemSize;
    const char *item = itemAt(list, static_cast<int>(start));
    for (int position = static_cast<int>(start); position <= h->count; ++position, item += itemSize)
        if (compareItems(compareFunction, ptrToItem, item, itemSize) == 0) return position;
    return 0;
}

int ListBinSearch(ListHandle list, const void *ptrToItem, CompareFunction compareFunction) {
    if (!list || !ptrToItem) return 0;
    const ListHeader *h = header(list);
    int index = BinSearch(items(list), h->count, h->itemSize, ptrToItem, compareFunction);
    return index >= 0 ? index + 1 : 0;
}

int ListInsertInOrder(ListHandle list, const void *ptrToItem, CompareFunction compareFunction) {
    if (!list || !ptrToItem) return 0;
    const ListHeader *h = header(list);
    if (h->count == 0) return ListInsertItem(list, ptrToItem, LIST_POS_FRONT);
    int index = BinSearch(items(list), h->count, h->itemSize, ptrToItem, compareFunction);
    int position = index >= 0 ? index + 1 : -(index + 1) + 1;
    if (position > h->count) position = LIST_POS_END;
    return ListInsertItem(list, ptrToItem, position);
}

int ListInsertAfterItem(ListHandle list, const void *ptrToItem, const void *ptrToItemToFind,
                        CompareFunction compareFunction) {
    int found = ListFindItem(list, ptrToItemToFind, LIST_POS_FRONT, compareFunction);
    return ListInsertItem(list, ptrToItem, found > 0 ? found + 1 : LIST_POS_END);
}

int ListInsertBeforeItem(ListHandle list, const void *ptrToItem, const void *ptrToItemToFind,
                         CompareFunction compareFunction) {
    int found = ListFindItem(list, ptrToItemToFind, LIST_POS_FRONT, compareFunction);
    return ListInsertItem(list, ptrToItem, found > 0 ? found : LIST_POS_FRONT);
}

int ListIsSorted(ListHandle list, CompareFunction compareFunction) {
    if (!list) return 0;
    const ListHeader *h = header(list);
    const int itemSize = h->itemSize;
    const char *item = items(list);
    for (int i = 1; i < h->count; ++i, item += itemSize)
        if (compareItems(compareFunction, item, item + itemSize, itemSize) > 0) return 0;
    return 1;
}

void ListQuickSort(ListHandle list, CompareFunction compareFunction) {
    if (list)
        QuickSortArray(items(list), header(list)->count, header(list)->itemSize, compareFunction);
}

void ListHeapSort(ListHandle list, CompareFunction compareFunction) {
    if (list) HeapSort(items(list), header(list)->count, header(list)->itemSize, compareFunction);
}

void ListInsertionSort(ListHandle list, CompareFunction compareFunction) {
    if (list)
        InsertionSort(items(list), header(list)->count, header(list)->itemSize, compareFunction);
}

void ListRemoveDuplicates(ListHandle list, CompareFunction compareFunction) {
    if (!list) return;
    for (int i = 1; i < header(list)->count; ++i) {
        // Removals only touch items behind i and never shrink the block, so the key stays put.
        const void *key = itemAt(list, i);
        int match = ListFindItem(list, key, i + 1, compareFunction);
        while (match > 0) {
            ListRemoveItem(list, nullptr, match);
            match = ListFindItem(list, key, match, compareFunction);
        }
    }
}

int ListApplyToEach(ListHandle list, int ascending, ListApplicationFunc funcToApply,
                    void *callbackData) {
    if (!list || !funcToApply) return 0;
    int result = 0;
    if (ascending) {
        for (int position = 1; position <= header(list)->count; ++position) {
            result = funcToApply(position, itemAt(list, position), callbackData);
            if (result < 0) break;
        }
    } else {
        for (int position = header(list)->count; position >= 1; --position) {
            // The callback may have removed items; positions past the end are skipped.
            if (position > header(list)->count) {
                position = header(list)->count + 1;
                continue;
            }
            result = funcToApply(position, itemAt(list, position), callbackData);
            if (result < 0) break;
        }
    }
    return result;
}

void ListSetAllocationPolicy(ListHandle list, int minItemsPerAlloc, int percentIncrease) {
    if (!list) return;
    header(list)->minimumGrowth = minItemsPerAlloc;
    header(list)->growthPercentage = percentIncrease;
}

int ListPreAllocate(ListHandle list, int numItems) {
    if (!list) return 0;
    const ListHeader *h = header(list);
    std::int64_t missing = static_cast<std::int64_t>(numItems) - (h->allocated - h->count);
    if (missing <= 0) return 1;
    return resizeSlots(list, h->allocated + missing) ? 1 : 0;
}

void ListCompact(ListHandle list) {
    if (list) resizeSlots(list, header(list)->count);
}

// ---- Array routines ----------------------------------------------------------------------------

int BinSearch(const void *array, int numElements, int elementSize, const void *ptrToItem,
              CompareFunction compareFunction) {
    if (!array || !ptrToItem || numElements <= 0 || elementSize <= 0) return -1;
    const char *base = static_cast<const char *>(array);
    const std::size_t size = static_cast<std::size_t>(elementSize);
    int low = 0;
    int high = numElements - 1;
    int middle = 0;
    int last = -1;
    if (compareFunction) {
        while (low <= high) {
            middle = (low + high) >> 1;
            last = compareFunction(ptrToItem, base + static_cast<std::size_t>(middle) * size);
            if (last == 0) return middle;
            if (last < 0)
                high = middle - 1;
            else
                low = middle + 1;
        }
    } else {
        while (low <= high) {
            middle = (low + high) >> 1;
            last = compareBytes(ptrToItem, base + static_cast<std::size_t>(middle) * size, size);
            if (last == 0) return middle;
            if (last < 0)
                high = middle - 1;
            else
                low = middle + 1;
        }
    }
    return last < 0 ? -(middle + 1) : -(middle + 2);
}

void SwapBlock(void *block1, void *block2, int numBytes) {
    if (numBytes <= 0 || block1 == block2) return;
    auto *a = static_cast<unsigned char *>(block1);
    auto *b = static_cast<unsigned char *>(block2);
    const bool wordAligned = (reinterpret_cast<std::uintptr_t>(a) % 4 == 0) &&
                             (reinterpret_cast<std::uintptr_t>(b) % 4 == 0) && numBytes % 4 == 0;
    if (wordAligned) {
        for (int i = 0; i < numBytes; i += 4) {
            std::uint32_t x, y;
            std::memcpy(&x, a + i, 4);
            std::memcpy(&y, b + i, 4);
            std::memcpy(a + i, &y, 4);
            std::memcpy(b + i, &x, 4);
        }
    } else {
        for (int i = 0; i < numBytes; ++i)
            std::swap(a[i], b[i]);
    }
}

namespace {

// Comparators the sorts are instantiated with: the caller's function, or raw bytes.
struct FunctionCompare {
    CompareFunction function;
    int operator()(const void *a, const void *b) const { return function(a, b); }
};
struct ByteCompare {
    std::size_t size;
    int operator()(const void *a, const void *b) const { return std::memcmp(a, b, size); }
};

// Swaps in units of `Unit` bytes. Copies go through memcpy so unaligned elements are safe; the
// compiler turns the fixed-size copies into plain loads and stores.
template <std::size_t Unit> inline void swapUnits(char *a, char *b, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; i += Unit) {
        unsigned char x[Unit], y[Unit];
        std::memcpy(x, a + i, Unit);
        std::memcpy(y, b + i, Unit);
        std::memcpy(a + i, y, Unit);
        std::memcpy(b + i, x, Unit);
    }
}

// Element swappers: a fixed size known at compile time, or a run-time size with the widest unit
// (32, 16 or 8 bits) that divides it.
template <std::size_t Size> struct FixedSwap {
    std::size_t size() const { return Size; }
    void operator()(char *a, char *b) const {
        unsigned char x[Size], y[Size];
        std::memcpy(x, a, Size);
        std::memcpy(y, b, Size);
        std::memcpy(a, y, Size);
        std::memcpy(b, x, Size);
    }
};
template <std::size_t Unit> struct UnitSwap {
    std::size_t bytes;
    std::size_t size() const { return bytes; }
    void operator()(char *a, char *b) const { swapUnits<Unit>(a, b, bytes); }
};

template <class Swap, class Compare>
void heapSortImpl(char *base, int n, Swap swap, Compare compare) {
    const std::size_t size = swap.size();
    // 1-based heap positions over a 0-based array.
    // 64-bit indices: 2k must not overflow for the largest arrays.
    auto at = [&](std::int64_t k) { return base + static_cast<std::size_t>(k - 1) * size; };
    for (std::int64_t k = 2; k <= n; ++k)
        for (std::int64_t c = k; c > 1 && compare(at(c), at(c / 2)) > 0; c /= 2)
            swap(at(c), at(c / 2));
    for (std::int64_t last = n; last > 1; --last) {
        swap(at(1), at(last));
        const std::int64_t heapSize = last - 1;
        std::int64_t k = 1;
        while (2 * k <= heapSize) {
            std::int64_t child = 2 * k;
            if (child + 1 <= heapSize && compare(at(child), at(child + 1)) < 0) ++child;
            if (compare(at(k), at(child)) >= 0) break;
            swap(at(k), at(child));
            k = child;
        }
    }
}

template <class Swap, class Compare>
void insertionSortImpl(char *base, int n, Swap swap, Compare compare) {
    const std::size_t size = swap.size();
    for (int i = 1; i < n; ++i)
        for (char *p = base + static_cast<std::size_t>(i) * size;
             p > base && compare(p - size, p) > 0; p -= size)
            swap(p - size, p);
}

// Quicksort without recursion: median of three, the smaller part first, larger parts waiting on a
// fixed stack of range bounds. Working on the smaller part first bounds the stack depth by
// log2(n) < 32 ranges, so the 50 ranges never run out; the fallback only keeps that provable.
constexpr int kRangeStackEntries = 100;

template <class Swap, class Compare>
void quickSortImpl(char *base, int n, Swap swap, Compare compare) {
    const std::size_t size = swap.size();
    std::array<char *, kRangeStackEntries> stack;
    std::int16_t depth = 0; // bound entries in use
    char *low = base;
    char *high = base + static_cast<std::size_t>(n - 1) * size;

    auto orderMedianOfThree = [&](char *middle) {
        if (compare(low, middle) > 0) swap(low, middle);
        if (compare(low, high) > 0) swap(low, high);
        if (compare(middle, high) > 0) swap(middle, high);
    };
    auto push = [&](char *first, char *last) {
        if (first >= last) // fewer than two elements: nothing to do
            return;
        if (depth <= kRangeStackEntries - 2) {
            stack[static_cast<std::size_t>(depth++)] = first;
            stack[static_cast<std::size_t>(depth++)] = last;
        } else {
            heapSortImpl(first,
                         static_cast<int>((last - first) / static_cast<std::ptrdiff_t>(size)) + 1,
                         swap, compare);
        }
    };

    for (;;) {
        const std::ptrdiff_t count =
            low <= high ? (high - low) / static_cast<std::ptrdiff_t>(size) + 1 : 0;
        if (count >= 4) {
            char *middle = low + size * static_cast<std::size_t>((count - 1) / 2);
            orderMedianOfThree(middle);
            char *pivot = high - size; // the next-to-last place
            if (middle != pivot) swap(middle, pivot);
            // low <= pivot <= high after the median of three, so both scans stop in range; the
            // bounds tests make that independent of a comparison that is not a strict order.
            char *i = low;
            char *j = pivot;
            for (;;) {
                do
                    i += size;
                while (i < pivot && compare(i, pivot) < 0);
                do
                    j -= size;
                while (j > low && compare(j, pivot) > 0);
                if (i >= j) break;
                swap(i, j);
            }
            if (i != pivot) swap(i, pivot);
            // i is the pivot's final place; it belongs to neither part.
            if (i - low > high - i) {
                push(low, i - size);
                low = i + size;
            } else {
                push(i + size, high);
                high = i - size;
            }
            continue;
        }
        if (count == 2) {
            if (compare(low, high) > 0) swap(low, high);
        } else if (count == 3) {
            orderMedianOfThree(low + size);
        }
        if (depth == 0) break;
        high = stack[static_cast<std::size_t>(--depth)];
        low = stack[static_cast<std::size_t>(--depth)];
    }
}

enum class Sort { Quick, Heap, Insertion };

template <class Compare>
void sortWith(Sort which, char *base, int n, int elementSize, Compare compare) {
    auto run = [&](auto swap) {
        switch (which) {
        case Sort::Quick:
            quickSortImpl(base, n, swap, compare);
            break;
        case Sort::Heap:
            heapSortImpl(base, n, swap, compare);
            break;
        case Sort::Insertion:
            insertionSortImpl(base, n, swap, compare);
            break;
        }
    };
    // Frequent sizes get a swap of fixed size; the rest swap in the widest unit dividing the size.
    switch (elementSize) {
    case 4:
        return run(FixedSwap<4>{});
    case 8:
        return run(FixedSwap<8>{});
    case 16:
        return run(FixedSwap<16>{});
    case 24:
        return run(FixedSwap<24>{});
    default:
        break;
    }
    const std::size_t size = static_cast<std::size_t>(elementSize);
    if (size % 4 == 0)
        run(UnitSwap<4>{size});
    else if (size % 2 == 0)
        run(UnitSwap<2>{size});
    else
        run(UnitSwap<1>{size});
}

void sortArray(Sort which, void *array, int numElements, int elementSize,
               CompareFunction compareFunction) {
    if (!array || numElements < 2 || elementSize < 1) return;
    char *base = static_cast<char *>(array);
    if (compareFunction)
        sortWith(which, base, numElements, elementSize, FunctionCompare{compareFunction});
    else
        sortWith(which, base, numElements, elementSize,
                 ByteCompare{static_cast<std::size_t>(elementSize)});
}

} // namespace

void HeapSort(void *array, int numElements, int elementSize, CompareFunction compareFunction) {
    sortArray(Sort::Heap, array, numElements, elementSize, compareFunction);
}

void InsertionSort(void *array, int numElements, int elementSize, CompareFunction compareFunction) {
    sortArray(Sort::Insertion, array, numElements, elementSize, compareFunction);
}

void QuickSortArray(void *array, int numElements, int elementSize,
                    CompareFunction compareFunction) {
    sortArray(Sort::Quick, array, numElements, elementSize, compareFunction);
}

// ---- Comparisons -------------------------------------------------------------------------------

namespace {
template <class T> int loadAndCompare(const void *a, const void *b) {
    T x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return (x > y) - (x < y);
}
template <class T> int compareReals(const void *a, const void *b) {
    T x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    if (std::isnan(x) || std::isnan(y)) return 1;
    return (x > y) - (x < y);
}
} // namespace

int ShortCompare(const void *a, const void *b) {
    return loadAndCompare<std::int16_t>(a, b);
}
int IntCompare(const void *a, const void *b) {
    return loadAndCompare<std::int32_t>(a, b);
}
int FloatCompare(const void *a, const void *b) {
    return compareReals<float>(a, b);
}
int DoubleCompare(const void *a, const void *b) {
    return compareReals<double>(a, b);
}

int CStringCompare(const void *a, const void *b) {
    const char *x = nullptr;
    const char *y = nullptr;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    if (!x || !y) return (x != nullptr) - (y != nullptr); // a null string sorts first
    return std::strcmp(x, y);
}
