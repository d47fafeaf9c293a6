// Memory handles, the dynamic list and the array routines under it.
//
// A list is a growable array of fixed-size items held in one resizable block reached through a
// memory handle; items are copied in and out by value and addressed by 1-based position.
// Every list operation accepts a null list (counts 0, pointers null, results 0, no change).
// Qt-free.
#pragma once

#include <cstddef>

// ---- Memory handles ---------------------------------------------------------------------------

struct MemHandleRecord;
typedef MemHandleRecord *MemHandle;

MemHandle NewHandle(unsigned int size);
void DisposeHandle(MemHandle handle);
unsigned int GetHandleSize(MemHandle handle);
int SetHandleSize(MemHandle handle, unsigned int newSize); // 1 done, 0 failed (unchanged)
void *GetHandleBlock(MemHandle handle);                      // the block; may move on resize

// ---- Lists -------------------------------------------------------------------------------------

typedef MemHandle ListHandle;

enum { LIST_POS_FRONT = -1, LIST_POS_END = 0 };

typedef int (*CompareFunction)(const void *item1, const void *item2);
typedef int (*ListApplicationFunc)(int index, void *ptrToItem, void *callbackData);

ListHandle ListCreate(int itemSize);
void ListDispose(ListHandle list);
void ListDisposePtrList(ListHandle list);
void ListClear(ListHandle list);
ListHandle ListCopy(ListHandle list);
int ListAppend(ListHandle destination, ListHandle source);
int ListInsertItem(ListHandle list, const void *ptrToItem, int position);
int ListInsertItems(ListHandle list, const void *ptrToItems, int position, int numItems);
void ListReplaceItem(ListHandle list, const void *ptrToItem, int position);
void ListReplaceItems(ListHandle list, const void *ptrToItems, int position, int numItems);
void ListRemoveItem(ListHandle list, void *destination, int position);
void ListRemoveItems(ListHandle list, void *destination, int position, int numItems);
void ListGetItem(ListHandle list, void *destination, int position);
void ListGetItems(ListHandle list, void *destination, int position, int numItems);
void *ListGetPtrToItem(ListHandle list, int position);
void *ListGetDataPtr(ListHandle list);
int ListGetItemSize(ListHandle list);
int ListNumItems(ListHandle list);
int ListEqual(ListHandle listA, ListHandle listB);
int ListFindItem(ListHandle list, const void *ptrToItem, int startingPosition,
                 CompareFunction compareFunction);
int ListBinSearch(ListHandle list, const void *ptrToItem, CompareFunction compareFunction);
int ListInsertInOrder(ListHandle list, const void *ptrToItem, CompareFunction compareFunction);
int ListInsertAfterItem(ListHandle list, const void *ptrToItem, const void *ptrToItemToFind,
                        CompareFunction compareFunction);
int ListInsertBeforeItem(ListHandle list, const void *ptrToItem, const void *ptrToItemToFind,
                         CompareFunction compareFunction);
int ListIsSorted(ListHandle list, CompareFunction compareFunction);
void ListQuickSort(ListHandle list, CompareFunction compareFunction);
void ListHeapSort(ListHandle list, CompareFunction compareFunction);
void ListInsertionSort(ListHandle list, CompareFunction compareFunction);
void ListRemoveDuplicates(ListHandle list, CompareFunction compareFunction);
int ListApplyToEach(ListHandle list, int ascending, ListApplicationFunc funcToApply,
                    void *callbackData);
void ListSetAllocationPolicy(ListHandle list, int minItemsPerAlloc, int percentIncrease);
int ListPreAllocate(ListHandle list, int numItems);
void ListCompact(ListHandle list);

// ---- Array routines ----------------------------------------------------------------------------

int BinSearch(const void *array, int numElements, int elementSize, const void *ptrToItem,
              CompareFunction compareFunction);
void HeapSort(void *array, int numElements, int elementSize, CompareFunction compareFunction);
void InsertionSort(void *array, int numElements, int elementSize,
                   CompareFunction compareFunction);
void QuickSortArray(void *array, int numElements, int elementSize,
                    CompareFunction compareFunction);
void SwapBlock(void *block1, void *block2, int numBytes);

// ---- Comparisons -------------------------------------------------------------------------------

int ShortCompare(const void *a, const void *b);
int IntCompare(const void *a, const void *b);
int FloatCompare(const void *a, const void *b);
int DoubleCompare(const void *a, const void *b);
int CStringCompare(const void *a, const void *b);

// ---- Test seam -----------------------------------------------------------------------------------

// Makes the next `count` block allocations after `skip` successful ones fail (0, 0: none fail),
// so tests can show that an allocation failure leaves a list exactly as it was.
void ListTestFailAllocations(int skip, int count);
