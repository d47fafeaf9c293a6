// Memory handles, the dynamic list and the array routines under it.
//
// A list is a growable array of fixed-size items held in one resizable block reached through a
// memory handle; items are copied in and out by value and addressed by 1-based position. The
// INI library, the localization trees and the layout helpers keep their collections in it.
// Every list operation accepts a null list (counts 0, pointers null, results 0, no change), and
// no operation changes a list when it fails: exhausted memory leaves it exactly as it was.
// Pointers into a list (ListGetPtrToItem, ListGetDataPtr) are valid only until the next
// operation that can grow or shrink the block, and for positions behind a removal, until then.
// Single-threaded; Qt-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// ---- Memory handles ---------------------------------------------------------------------------

struct MemHandleRecord;
typedef MemHandleRecord *MemHandle;

// A zero-filled block of `size` bytes (no block while size is 0) behind a handle that never
// moves. Null when memory is exhausted.
MemHandle NewHandle(unsigned int size);
// Frees the block and the handle; null is ignored.
void DisposeHandle(MemHandle handle);
// The block size in bytes. A null handle is a programming error (DoAssert, then abort).
unsigned int GetHandleSize(MemHandle handle);
// 1 when the block now has newSize bytes (bytes beyond the old size are zero), 0 when memory is
// exhausted (block and size unchanged). A null handle is a programming error (DoAssert).
int SetHandleSize(MemHandle handle, unsigned int newSize);
// The block, or null (null handle, or size 0). It may move whenever the size changes.
void *GetHandleBlock(MemHandle handle);

// ---- Lists -------------------------------------------------------------------------------------

typedef MemHandle ListHandle;

// LIST_POS_FRONT: the first item (inserting: in front of all). LIST_POS_END: the last item
// (inserting: behind the last; item count + 1 means the same when inserting).
enum { LIST_POS_FRONT = -1, LIST_POS_END = 0 };

// Negative when item1 sorts before item2, 0 when equal, positive when after. For searches item1
// is the caller's key. Wherever one is taken, null compares the raw bytes (memcmp order).
typedef int (*CompareFunction)(const void *item1, const void *item2);
// Called with the position and a pointer to the item; a negative result stops the walk.
typedef int (*ListApplicationFunc)(int index, void *ptrToItem, void *callbackData);

// An empty list of itemSize-byte items (growth: at least 4 slots, else 110 % of the current
// allocation). Null when memory is exhausted or itemSize < 1.
ListHandle ListCreate(int itemSize);
// Frees the list; what the items point to is not freed.
void ListDispose(ListHandle list);
// For lists of pointers from malloc: frees each item's pointer (positions 1 up), then the list.
void ListDisposePtrList(ListHandle list);
// Item count 0; the allocation stays.
void ListClear(ListHandle list);
// A copy with the same item size and growth policy, allocated to exactly its items; null when
// memory is exhausted.
ListHandle ListCopy(ListHandle list);
// Appends the items of source (which may be destination itself) and sets destination's
// allocation to exactly the new count. 1 done (also for a null or empty source); 0 for a null
// destination, different item sizes, or exhausted memory (destination unchanged).
int ListAppend(ListHandle destination, ListHandle source);
// ListInsertItems with one item (inline below).
inline int ListInsertItem(ListHandle list, const void *ptrToItem, int position);
// Inserts numItems items so that the first ends at `position` (LIST_POS_FRONT, LIST_POS_END,
// 1 .. count + 1); a null source inserts zero-filled items. The items may come from the list
// itself. 1 done; 0 for a null list, numItems < 1, a position outside those values, or
// exhausted memory (list unchanged).
int ListInsertItems(ListHandle list, const void *ptrToItems, int position, int numItems);
// Overwrite / remove (copying the removed items to destination unless it is null) / read
// numItems items from `position`. The range must lie within 1 .. count once LIST_POS_FRONT and
// LIST_POS_END are resolved, else nothing happens (also for a null source or destination where
// one is needed). Copies are overlap-safe.
void ListReplaceItem(ListHandle list, const void *ptrToItem, int position);
void ListReplaceItems(ListHandle list, const void *ptrToItems, int position, int numItems);
void ListRemoveItem(ListHandle list, void *destination, int position);
void ListRemoveItems(ListHandle list, void *destination, int position, int numItems);
void ListGetItem(ListHandle list, void *destination, int position);
void ListGetItems(ListHandle list, void *destination, int position, int numItems);
// The item in the list's own storage; null for a position outside 1 .. count once resolved.
void *ListGetPtrToItem(ListHandle list, int position);
// Where item 1 is stored (also for an empty list).
void *ListGetDataPtr(ListHandle list);
int ListGetItemSize(ListHandle list);
int ListNumItems(ListHandle list);
// 1 for the same list or equal item size, count and bytes; 0 otherwise (0 when one is null).
int ListEqual(ListHandle listA, ListHandle listB);
// The first position from startingPosition (LIST_POS_END: only the last item) whose item
// compares equal to the key; 0 for none, a null key, or a start outside 1 .. count.
int ListFindItem(ListHandle list, const void *ptrToItem, int startingPosition,
                 CompareFunction compareFunction);
// Binary search of a list sorted by compareFunction: the matching position, or 0.
int ListBinSearch(ListHandle list, const void *ptrToItem, CompareFunction compareFunction);
// Inserts the item where a sorted list stays sorted (in front of an equal item the search hits).
// Result as ListInsertItem; 0 for a null key.
int ListInsertInOrder(ListHandle list, const void *ptrToItem, CompareFunction compareFunction);
// Inserts behind (before) the first item equal to ptrToItemToFind, or at the end (front) when
// none is. Result as ListInsertItem.
int ListInsertAfterItem(ListHandle list, const void *ptrToItem, const void *ptrToItemToFind,
                        CompareFunction compareFunction);
int ListInsertBeforeItem(ListHandle list, const void *ptrToItem, const void *ptrToItemToFind,
                         CompareFunction compareFunction);
// 1 when no item compares greater than the next (also for fewer than two items); 0 otherwise
// and for a null list.
int ListIsSorted(ListHandle list, CompareFunction compareFunction);
// Sort in place with QuickSortArray (not stable), HeapSort (not stable), InsertionSort (stable).
void ListQuickSort(ListHandle list, CompareFunction compareFunction);
void ListHeapSort(ListHandle list, CompareFunction compareFunction);
void ListInsertionSort(ListHandle list, CompareFunction compareFunction);
// Removes every item equal to an earlier one; the remaining order is unchanged.
void ListRemoveDuplicates(ListHandle list, CompareFunction compareFunction);
// Calls funcToApply for each item, positions 1 up (ascending non-zero) or from the last down,
// until a call returns a negative value. The callback may remove items: each position is
// checked against the current count first. Returns the last callback result, or 0 when no call
// was made (also for a null list or callback).
int ListApplyToEach(ListHandle list, int ascending, ListApplicationFunc funcToApply,
                    void *callbackData);
// Growth policy for automatic growth: max(minItemsPerAlloc, allocated * (100 + percentIncrease)
// / 100) slots beyond what an insertion needs (never fewer than it needs). Not validated.
void ListSetAllocationPolicy(ListHandle list, int minItemsPerAlloc, int percentIncrease);
// Makes room for numItems more items, growing by exactly the missing slots. 1 done, 0 when
// memory is exhausted (list unchanged).
int ListPreAllocate(ListHandle list, int numItems);
// Sets the allocation to exactly the item count; unchanged when memory is exhausted.
void ListCompact(ListHandle list);

// ---- Array routines ----------------------------------------------------------------------------
// Each works on numElements elements of elementSize bytes from `array`; a null compareFunction
// compares raw bytes.

// The 0-based index of an element equal to the key in an array sorted by compareFunction, or
// -(k + 1) where k is the index at which the key would have to be inserted (-1: empty array).
int BinSearch(const void *array, int numElements, int elementSize, const void *ptrToItem,
              CompareFunction compareFunction);
// In-place sorts: heap sort (not stable), insertion sort by adjacent swaps (stable), and a
// non-recursive median-of-three quicksort (not stable) that swaps in the widest unit dividing
// the element size.
void HeapSort(void *array, int numElements, int elementSize, CompareFunction compareFunction);
void InsertionSort(void *array, int numElements, int elementSize, CompareFunction compareFunction);
void QuickSortArray(void *array, int numElements, int elementSize, CompareFunction compareFunction);
// Swaps two blocks of numBytes bytes (in 32-bit words when addresses and size allow).
void SwapBlock(void *block1, void *block2, int numBytes);

// ---- Comparisons -------------------------------------------------------------------------------

// Signed 16- and 32-bit integers: -1, 0 or 1.
int ShortCompare(const void *a, const void *b);
int IntCompare(const void *a, const void *b);
// 32- and 64-bit reals: -1, 0 or 1; 1 whenever either is not a number.
int FloatCompare(const void *a, const void *b);
int DoubleCompare(const void *a, const void *b);
// Items are pointers to NUL-terminated strings: strcmp of the pointed-to strings.
int CStringCompare(const void *a, const void *b);

// ---- Inline append -----------------------------------------------------------------------------

// Appending is the hot path of every collection built on the list, so the common case (a 4- or
// 8-byte item into a free slot) is inlined into the caller; a call would cost more than the
// append. The block layout below is private to the list module: use the functions above.
struct MemHandleRecord {
    void *block;        // may be null while size is 0
    std::uint32_t size; // bytes
};

namespace ks_list_detail {
struct Header { // at the start of a list's block, followed by the items
    std::int32_t tag;
    std::int32_t growthPercentage;
    std::int32_t minimumGrowth;
    std::int32_t allocated;
    std::int32_t itemSize;
    std::int32_t count;
};
} // namespace ks_list_detail

// Inlined into a caller that appends a 4-byte object, the 8-byte branch (never taken for a list of
// 4-byte items) would draw a bounds warning the compiler cannot rule out.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
inline int ListInsertItem(ListHandle list, const void *ptrToItem, int position) {
    if (list && ptrToItem) {
        auto *h = static_cast<ks_list_detail::Header *>(list->block);
        const int count = h->count;
        const int itemSize = h->itemSize;
        if (count < h->allocated && (position == LIST_POS_END || position == count + 1) &&
            (itemSize == 4 || itemSize == 8)) {
            char *slot = reinterpret_cast<char *>(h + 1) +
                         static_cast<std::size_t>(count) * static_cast<std::size_t>(itemSize);
            if (itemSize == 4)
                std::memcpy(slot, ptrToItem, 4);
            else
                std::memcpy(slot, ptrToItem, 8);
            h->count = count + 1;
            return 1;
        }
    }
    return ListInsertItems(list, ptrToItem, position, 1);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
