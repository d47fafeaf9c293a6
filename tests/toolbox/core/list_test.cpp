// The dynamic list, memory handles and array routines: growth, positions, failure safety,
// sorting against std::sort, searching, and the assertion report.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "toolbox/core/list.h"
#include "toolbox/core/list_testing.h"
#include "toolbox/core/toolbox.h"

namespace {

constexpr unsigned kHeaderBytes = 24; // six 32-bit header fields

int allocatedSlots(ListHandle list) {
    return static_cast<int>((GetHandleSize(list) - kHeaderBytes) / ListGetItemSize(list));
}

std::vector<int> contents(ListHandle list) {
    std::vector<int> out(static_cast<size_t>(ListNumItems(list)));
    if (!out.empty()) ListGetItems(list, out.data(), 1, ListNumItems(list));
    return out;
}

ListHandle intList(const std::vector<int> &values) {
    ListHandle list = ListCreate(sizeof(int));
    for (int v : values)
        EXPECT_EQ(ListInsertItem(list, &v, LIST_POS_END), 1);
    return list;
}

// Owns a list for the length of a test.
struct ListGuard {
    ListHandle list;
    explicit ListGuard(ListHandle l) : list(l) {}
    ~ListGuard() { ListDispose(list); }
    ListGuard(const ListGuard &) = delete;
    ListGuard &operator=(const ListGuard &) = delete;
    operator ListHandle() const { return list; }
};

// Every test leaves the allocation seam disarmed, even when an expectation fails midway.
class ListTest : public ::testing::Test {
  protected:
    void TearDown() override { ListTestFailAllocations(0, 0); }
};

} // namespace

// ---- Memory handles ---------------------------------------------------------------------------

TEST_F(ListTest, HandleGrowsZeroFilledAndKeepsBlockOnFailure) {
    MemHandle h = NewHandle(16);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(GetHandleSize(h), 16u);
    auto *bytes = static_cast<unsigned char *>(GetHandleBlock(h));
    EXPECT_TRUE(std::all_of(bytes, bytes + 16, [](unsigned char b) { return b == 0; }));
    std::memset(bytes, 0xAB, 16);

    ASSERT_EQ(SetHandleSize(h, 4096), 1);
    bytes = static_cast<unsigned char *>(GetHandleBlock(h));
    EXPECT_TRUE(std::all_of(bytes, bytes + 16, [](unsigned char b) { return b == 0xAB; }));
    EXPECT_TRUE(std::all_of(bytes + 16, bytes + 4096, [](unsigned char b) { return b == 0; }));

    // A failed resize keeps block and size; equal size succeeds without allocating.
    void *before = GetHandleBlock(h);
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(SetHandleSize(h, 8192), 0);
    EXPECT_EQ(GetHandleBlock(h), before);
    EXPECT_EQ(GetHandleSize(h), 4096u);
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(SetHandleSize(h, 4096), 1);
    ListTestFailAllocations(0, 0);

    // Shrinking keeps the front; shrinking to nothing releases the block.
    ASSERT_EQ(SetHandleSize(h, 8), 1);
    EXPECT_EQ(static_cast<unsigned char *>(GetHandleBlock(h))[7], 0xAB);
    ASSERT_EQ(SetHandleSize(h, 0), 1);
    EXPECT_EQ(GetHandleSize(h), 0u);
    ASSERT_EQ(SetHandleSize(h, 3), 1);
    EXPECT_EQ(static_cast<unsigned char *>(GetHandleBlock(h))[2], 0);
    DisposeHandle(h);
    DisposeHandle(nullptr);

    MemHandle empty = NewHandle(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GetHandleSize(empty), 0u);
    DisposeHandle(empty);

    for (int skip = 0; skip < 2; ++skip) { // the record, then the block
        ListTestFailAllocations(skip, 1);
        EXPECT_EQ(NewHandle(32), nullptr) << "failing allocation " << skip;
    }
}

// ---- Growth and positions ----------------------------------------------------------------------

TEST_F(ListTest, DefaultPolicyGrowsToFiveElevenTwentyFourFiftyOne) {
    ListGuard list(ListCreate(sizeof(int)));
    ASSERT_NE(list.list, nullptr);
    EXPECT_EQ(allocatedSlots(list), 0);
    std::vector<int> seen;
    for (int i = 1; i <= 52; ++i) {
        ASSERT_EQ(ListInsertItem(list, &i, LIST_POS_END), 1);
        if (seen.empty() || seen.back() != allocatedSlots(list))
            seen.push_back(allocatedSlots(list));
        if (i == 1) {
            EXPECT_EQ(allocatedSlots(list), 5);
        }
        if (i == 6) {
            EXPECT_EQ(allocatedSlots(list), 11);
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{5, 11, 24, 51, 108}));
    std::vector<int> expected(52);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(contents(list), expected);
}

TEST_F(ListTest, AllocationPolicyAndPreAllocation) {
    ListGuard list(ListCreate(sizeof(int)));
    ListSetAllocationPolicy(list, 20, 0); // minimum first, percentage second
    int v = 1;
    ListInsertItem(list, &v, LIST_POS_END);
    EXPECT_EQ(allocatedSlots(list), 21);

    ASSERT_EQ(ListPreAllocate(list, 20), 1); // 20 free already: no change
    EXPECT_EQ(allocatedSlots(list), 21);
    ASSERT_EQ(ListPreAllocate(list, 25), 1); // exactly the 5 missing slots
    EXPECT_EQ(allocatedSlots(list), 26);

    ListCompact(list);
    EXPECT_EQ(allocatedSlots(list), 1);
    EXPECT_EQ(contents(list), std::vector<int>{1});

    // A caller-set negative policy must still make room for the items being inserted.
    ListSetAllocationPolicy(list, -50, -300);
    for (int i = 2; i <= 10; ++i)
        ASSERT_EQ(ListInsertItem(list, &i, LIST_POS_END), 1);
    EXPECT_EQ(ListNumItems(list), 10);
    EXPECT_GE(allocatedSlots(list), 10);
}

TEST_F(ListTest, InsertionPositionRules) {
    for (int position : {1, static_cast<int>(LIST_POS_END), static_cast<int>(LIST_POS_FRONT)}) {
        ListGuard list(ListCreate(sizeof(int)));
        int v = 7;
        // On an empty list count + 1 (= 1), END and FRONT all append.
        EXPECT_EQ(ListInsertItem(list, &v, position), 1) << position;
        EXPECT_EQ(contents(list), std::vector<int>{7});
    }

    ListGuard list(intList({1, 2, 3}));
    int v = 9;
    EXPECT_EQ(ListInsertItem(list, &v, 5), 0); // count + 2
    EXPECT_EQ(ListInsertItem(list, &v, -2), 0);
    EXPECT_EQ(ListInsertItem(list, &v, INT_MAX), 0);
    EXPECT_EQ(ListInsertItem(list, &v, INT_MIN), 0);
    EXPECT_EQ(ListInsertItems(list, &v, 1, 0), 0);
    EXPECT_EQ(ListInsertItems(nullptr, &v, 1, 1), 0);
    EXPECT_EQ(contents(list), (std::vector<int>{1, 2, 3}));

    v = 4;
    ASSERT_EQ(ListInsertItem(list, &v, 4), 1); // count + 1 appends
    v = 0;
    ASSERT_EQ(ListInsertItem(list, &v, LIST_POS_FRONT), 1);
    v = 25;
    ASSERT_EQ(ListInsertItem(list, &v, 3), 1); // the new item ends at position 3
    v = 5;
    ASSERT_EQ(ListInsertItem(list, &v, LIST_POS_END), 1);
    EXPECT_EQ(contents(list), (std::vector<int>{0, 1, 25, 2, 3, 4, 5}));

    // Several items into a list with fewer free slots than items: grown first, nothing lost.
    ListCompact(list);
    int block[4] = {10, 11, 12, 13};
    ASSERT_EQ(ListInsertItems(list, block, 2, 4), 1);
    EXPECT_EQ(contents(list), (std::vector<int>{0, 10, 11, 12, 13, 1, 25, 2, 3, 4, 5}));
    // A null source inserts zero-filled items.
    ASSERT_EQ(ListInsertItems(list, nullptr, LIST_POS_END, 2), 1);
    EXPECT_EQ(ListNumItems(list), 13);
    EXPECT_EQ(*static_cast<int *>(ListGetPtrToItem(list, 12)), 0);
    EXPECT_EQ(*static_cast<int *>(ListGetPtrToItem(list, LIST_POS_END)), 0);
}

TEST_F(ListTest, ReadReplaceRemoveAtBothEndsAndOnePast) {
    ListGuard list(intList({10, 20, 30, 40}));
    int out = -1;
    ListGetItem(list, &out, LIST_POS_FRONT);
    EXPECT_EQ(out, 10);
    ListGetItem(list, &out, LIST_POS_END);
    EXPECT_EQ(out, 40);
    out = -1;
    ListGetItem(list, &out, 5);
    ListGetItem(list, &out, -2);
    EXPECT_EQ(out, -1);
    int pair[2] = {-1, -1};
    ListGetItems(list, pair, 4, 2); // runs one past the end
    EXPECT_EQ(pair[0], -1);
    ListGetItems(list, pair, 3, 2);
    EXPECT_EQ(pair[0], 30);
    EXPECT_EQ(pair[1], 40);

    EXPECT_EQ(ListGetPtrToItem(list, 0), ListGetPtrToItem(list, 4));
    EXPECT_EQ(ListGetPtrToItem(list, 5), nullptr);
    EXPECT_EQ(ListGetPtrToItem(list, -2), nullptr);

    int r = 99;
    ListReplaceItem(list, &r, LIST_POS_END);
    ListReplaceItem(list, &r, 5); // one past: ignored
    ListReplaceItems(list, pair, 4, 2);
    ListReplaceItems(list, nullptr, 1, 1);
    EXPECT_EQ(contents(list), (std::vector<int>{10, 20, 30, 99}));

    ListRemoveItems(list, nullptr, 1, 5); // more than the list holds
    ListRemoveItems(list, nullptr, 3, 3); // runs past the end
    ListRemoveItems(list, nullptr, 1, 0);
    EXPECT_EQ(ListNumItems(list), 4);
    ListRemoveItem(list, &out, LIST_POS_FRONT);
    EXPECT_EQ(out, 10);
    ListRemoveItem(list, &out, LIST_POS_END);
    EXPECT_EQ(out, 99);
    EXPECT_EQ(contents(list), (std::vector<int>{20, 30}));
    int before = allocatedSlots(list);
    ListClear(list);
    EXPECT_EQ(ListNumItems(list), 0);
    EXPECT_EQ(allocatedSlots(list), before); // clearing never shrinks

    // Empty list: END resolves to nothing.
    EXPECT_EQ(ListGetPtrToItem(list, LIST_POS_END), nullptr);
    ListRemoveItem(list, nullptr, LIST_POS_END);
    EXPECT_EQ(ListNumItems(list), 0);
    EXPECT_NE(ListGetDataPtr(list), nullptr);

    ListGuard one(intList({5}));
    ASSERT_NE(ListGetPtrToItem(one, LIST_POS_FRONT), nullptr);
    EXPECT_EQ(*static_cast<int *>(ListGetPtrToItem(one, LIST_POS_FRONT)), 5);
}

TEST_F(ListTest, NullListIsRefusedEverywhere) {
    int v = 1;
    EXPECT_EQ(ListCreate(0), nullptr);
    EXPECT_EQ(ListCreate(-4), nullptr);
    EXPECT_EQ(ListNumItems(nullptr), 0);
    EXPECT_EQ(ListGetItemSize(nullptr), 0);
    EXPECT_EQ(ListGetDataPtr(nullptr), nullptr);
    EXPECT_EQ(ListGetPtrToItem(nullptr, 1), nullptr);
    EXPECT_EQ(ListInsertItem(nullptr, &v, LIST_POS_END), 0);
    EXPECT_EQ(ListInsertInOrder(nullptr, &v, IntCompare), 0);
    EXPECT_EQ(ListFindItem(nullptr, &v, 1, IntCompare), 0);
    EXPECT_EQ(ListBinSearch(nullptr, &v, IntCompare), 0);
    EXPECT_EQ(ListIsSorted(nullptr, IntCompare), 0);
    EXPECT_EQ(ListCopy(nullptr), nullptr);
    EXPECT_EQ(ListPreAllocate(nullptr, 3), 0);
    EXPECT_EQ(ListApplyToEach(
                  nullptr, 1, [](int, void *, void *) { return 1; }, nullptr),
              0);
    ListGetItem(nullptr, &v, 1);
    ListRemoveItem(nullptr, &v, 1);
    ListReplaceItem(nullptr, &v, 1);
    ListQuickSort(nullptr, IntCompare);
    ListRemoveDuplicates(nullptr, IntCompare);
    ListCompact(nullptr);
    ListClear(nullptr);
    ListDispose(nullptr);
    ListDisposePtrList(nullptr);
    EXPECT_EQ(v, 1);
}

// ---- Failure safety and overlap ----------------------------------------------------------------

TEST_F(ListTest, FailedGrowthLeavesListExactlyAsItWas) {
    ListGuard list(intList({1, 2, 3, 4, 5})); // full: 5 of 5 slots
    ASSERT_EQ(allocatedSlots(list), 5);
    ListGuard snapshot(ListCopy(list));
    const unsigned sizeBefore = GetHandleSize(list);
    void *blockBefore = GetHandleBlock(list);
    int more[3] = {6, 7, 8};

    auto expectUnchanged = [&](const char *what) {
        EXPECT_TRUE(ListEqual(list, snapshot)) << what;
        EXPECT_EQ(GetHandleSize(list), sizeBefore) << what;
        EXPECT_EQ(GetHandleBlock(list), blockBefore) << what;
        EXPECT_EQ(allocatedSlots(list), 5) << what;
    };
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(ListInsertItem(list, more, LIST_POS_END), 0);
    expectUnchanged("append");
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(ListInsertItems(list, more, 2, 3), 0);
    expectUnchanged("insert in the middle");
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(ListInsertInOrder(list, more, IntCompare), 0);
    expectUnchanged("insert in order");
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(ListPreAllocate(list, 10), 0);
    expectUnchanged("pre-allocate");
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(ListAppend(list, snapshot), 0);
    expectUnchanged("append a list");
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(ListCopy(list), nullptr);
    ListTestFailAllocations(1, 1);
    EXPECT_EQ(ListCopy(list), nullptr); // the record allocated, the block not: nothing leaks
    ListTestFailAllocations(0, 1);
    EXPECT_EQ(ListCreate(4), nullptr);
    ListTestFailAllocations(0, 0);

    ListPreAllocate(list, 3);
    ListTestFailAllocations(0, 1);
    ListCompact(list);
    ListTestFailAllocations(0, 0);
    EXPECT_EQ(allocatedSlots(list), 8);
    EXPECT_TRUE(ListEqual(list, snapshot));

    // After the failures the list still works.
    ASSERT_EQ(ListInsertItems(list, more, LIST_POS_END, 3), 1);
    EXPECT_EQ(contents(list), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(ListTest, MovesWithinOneListAreOverlapSafe) {
    ListGuard list(intList({1, 2, 3}));
    ListCompact(list);
    ASSERT_EQ(ListAppend(list, list), 1); // a list appended to itself
    EXPECT_EQ(contents(list), (std::vector<int>{1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(allocatedSlots(list), 6);

    // Items of the list itself as the source of an insertion that must grow the block.
    ListCompact(list);
    ASSERT_EQ(ListInsertItems(list, ListGetPtrToItem(list, 1), 2, 3), 1);
    EXPECT_EQ(contents(list), (std::vector<int>{1, 1, 2, 3, 2, 3, 1, 2, 3}));
    ASSERT_EQ(ListInsertItem(list, ListGetPtrToItem(list, LIST_POS_END), LIST_POS_FRONT), 1);
    EXPECT_EQ(contents(list)[0], 3);

    // Replacing a range with an overlapping range of the same list.
    ListGuard shift(intList({1, 2, 3, 4, 5}));
    ListReplaceItems(shift, ListGetPtrToItem(shift, 1), 2, 4);
    EXPECT_EQ(contents(shift), (std::vector<int>{1, 1, 2, 3, 4}));

    int removed[2] = {0, 0};
    ListRemoveItems(shift, removed, 2, 2);
    EXPECT_EQ(removed[0], 1);
    EXPECT_EQ(removed[1], 2);
    EXPECT_EQ(contents(shift), (std::vector<int>{1, 3, 4}));
}

TEST_F(ListTest, CopyAppendAndEquality) {
    ListGuard a(intList({1, 2, 3}));
    ListSetAllocationPolicy(a, 7, 50);
    ListGuard copy(ListCopy(a));
    ASSERT_NE(copy.list, nullptr);
    EXPECT_TRUE(ListEqual(a, copy));
    EXPECT_EQ(allocatedSlots(copy), 3);
    int v = 4;
    ListInsertItem(copy, &v, LIST_POS_END); // the copied policy: 3 + 1 + max(7, 4) slots
    EXPECT_EQ(allocatedSlots(copy), 11);
    EXPECT_FALSE(ListEqual(a, copy));

    ListGuard shorts(ListCreate(2));
    ListGuard empty(ListCreate(4));
    EXPECT_EQ(ListAppend(a, nullptr), 1);
    EXPECT_EQ(ListAppend(nullptr, a), 0);
    EXPECT_EQ(ListAppend(a, shorts), 0);
    EXPECT_EQ(ListAppend(a, empty), 1);
    EXPECT_EQ(ListAppend(a, copy), 1);
    EXPECT_EQ(contents(a), (std::vector<int>{1, 2, 3, 1, 2, 3, 4}));
    EXPECT_EQ(allocatedSlots(a), 7);

    // Different item sizes are unequal even with equal counts and bytes.
    ListGuard bytes4(ListCreate(4));
    ListGuard bytes2(ListCreate(2));
    int word = 0;
    ListInsertItem(bytes4, &word, LIST_POS_END);
    ListInsertItems(bytes2, &word, LIST_POS_END, 1);
    ListGuard bytes2b(ListCreate(2));
    ListInsertItems(bytes2b, nullptr, LIST_POS_END, 1);
    EXPECT_EQ(ListNumItems(bytes4), ListNumItems(bytes2));
    EXPECT_EQ(ListEqual(bytes4, bytes2), 0);
    EXPECT_EQ(ListEqual(bytes2, bytes2b), 1);
    EXPECT_EQ(ListEqual(a, a), 1);
    EXPECT_EQ(ListEqual(nullptr, nullptr), 1);
    EXPECT_EQ(ListEqual(a, nullptr), 0);
}

TEST_F(ListTest, DisposePtrListFreesEveryItem) {
    // LeakSanitizer fails the run if one of these strings is not freed.
    ListHandle list = ListCreate(sizeof(char *));
    for (int i = 0; i < 10; ++i) {
        char *text = static_cast<char *>(std::malloc(16));
        std::snprintf(text, 16, "item %d", i);
        ASSERT_EQ(ListInsertItem(list, &text, LIST_POS_END), 1);
    }
    char **first = static_cast<char **>(ListGetPtrToItem(list, 1));
    EXPECT_STREQ(*first, "item 0");
    ListDisposePtrList(list);
}

// ---- Searching ----------------------------------------------------------------------------------

TEST_F(ListTest, BinSearchEncodesTheInsertionPoint) {
    const int array[3] = {10, 20, 30};
    int key = 25;
    EXPECT_EQ(BinSearch(array, 0, 4, &key, IntCompare), -1);
    EXPECT_EQ(BinSearch(array, 3, 4, &key, IntCompare), -3);
    key = 5;
    EXPECT_EQ(BinSearch(array, 3, 4, &key, IntCompare), -1);
    key = 35;
    EXPECT_EQ(BinSearch(array, 3, 4, &key, IntCompare), -4);
    key = 20;
    EXPECT_EQ(BinSearch(array, 3, 4, &key, IntCompare), 1);

    // Every key against every sorted array of distinct even numbers up to 40 elements: a match
    // gives its index, a miss gives -(lower_bound + 1). Also with the byte comparison.
    for (int n = 0; n <= 40; ++n) {
        std::vector<int> values(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            values[static_cast<size_t>(i)] = 2 * i;
        std::vector<unsigned char> bytes(values.begin(), values.end());
        for (int k = -1; k <= 2 * n; ++k) {
            int idx = static_cast<int>(std::lower_bound(values.begin(), values.end(), k) -
                                       values.begin());
            bool hit = idx < n && values[static_cast<size_t>(idx)] == k;
            int expected = hit ? idx : -(idx + 1);
            ASSERT_EQ(BinSearch(values.data(), n, 4, &k, IntCompare), expected) << n << " " << k;
            if (k >= 0 && k < 256) {
                unsigned char b = static_cast<unsigned char>(k);
                ASSERT_EQ(BinSearch(bytes.data(), n, 1, &b, nullptr), expected) << n << " " << k;
            }
        }
    }
}

TEST_F(ListTest, ListSearchesAndOrderedInsertion) {
    ListGuard list(intList({10, 20, 30}));
    int key = 35;
    EXPECT_EQ(ListBinSearch(list, &key, IntCompare), 0);
    ASSERT_EQ(ListInsertInOrder(list, &key, IntCompare), 1);
    EXPECT_EQ(contents(list), (std::vector<int>{10, 20, 30, 35}));
    key = 30;
    EXPECT_EQ(ListBinSearch(list, &key, IntCompare), 3);
    EXPECT_EQ(ListInsertInOrder(list, nullptr, IntCompare), 0);

    std::mt19937 rng(7);
    ListGuard ordered(ListCreate(sizeof(int)));
    std::vector<int> oracle;
    for (int i = 0; i < 500; ++i) {
        int v = static_cast<int>(rng() % 100) - 50;
        ASSERT_EQ(ListInsertInOrder(ordered, &v, IntCompare), 1);
        oracle.insert(std::upper_bound(oracle.begin(), oracle.end(), v), v);
    }
    EXPECT_EQ(contents(ordered), oracle);
    EXPECT_EQ(ListIsSorted(ordered, IntCompare), 1);

    // ListFindItem: END examines only the last item; the search runs forward from the start.
    ListGuard find(intList({7, 8, 7, 9}));
    key = 7;
    EXPECT_EQ(ListFindItem(find, &key, LIST_POS_FRONT, IntCompare), 1);
    EXPECT_EQ(ListFindItem(find, &key, 2, IntCompare), 3);
    EXPECT_EQ(ListFindItem(find, &key, LIST_POS_END, IntCompare), 0);
    key = 9;
    EXPECT_EQ(ListFindItem(find, &key, LIST_POS_END, nullptr), 4);
    EXPECT_EQ(ListFindItem(find, &key, 5, IntCompare), 0);
    EXPECT_EQ(ListFindItem(find, nullptr, 1, IntCompare), 0);

    int item = 1;
    key = 7;
    ASSERT_EQ(ListInsertAfterItem(find, &item, &key, IntCompare), 1);
    item = 2;
    ASSERT_EQ(ListInsertBeforeItem(find, &item, &key, IntCompare), 1);
    key = 42;
    item = 3;
    ASSERT_EQ(ListInsertAfterItem(find, &item, &key, IntCompare), 1);
    item = 4;
    ASSERT_EQ(ListInsertBeforeItem(find, &item, &key, IntCompare), 1);
    key = 9;
    item = 5;
    ASSERT_EQ(ListInsertAfterItem(find, &item, &key, IntCompare), 1);
    EXPECT_EQ(contents(find), (std::vector<int>{4, 2, 7, 1, 8, 7, 9, 5, 3}));

    ListGuard unsorted(intList({1, 3, 2}));
    EXPECT_EQ(ListIsSorted(unsorted, IntCompare), 0);
    ListGuard single(intList({1}));
    EXPECT_EQ(ListIsSorted(single, IntCompare), 1);
    ListGuard equal(intList({2, 2, 2}));
    EXPECT_EQ(ListIsSorted(equal, IntCompare), 1);
}

TEST_F(ListTest, RemoveDuplicatesKeepsFirstOccurrencesInOrder) {
    std::mt19937 rng(11);
    std::vector<int> values(400);
    for (int &v : values)
        v = static_cast<int>(rng() % 37);
    ListGuard list(intList(values));
    ListRemoveDuplicates(list, IntCompare);
    std::vector<int> expected;
    for (int v : values)
        if (std::find(expected.begin(), expected.end(), v) == expected.end()) expected.push_back(v);
    EXPECT_EQ(contents(list), expected);

    ListGuard runs(intList({5, 5, 5, 5, 1, 5, 1}));
    ListRemoveDuplicates(runs, nullptr);
    EXPECT_EQ(contents(runs), (std::vector<int>{5, 1}));
}

// ---- ListApplyToEach ----------------------------------------------------------------------------

namespace {
struct Visit {
    ListHandle list;
    std::vector<std::pair<int, int>> calls; // position, item value
    int stopAt = 0;                         // call number that returns -1
    int removeValue = -1;                   // items of this value remove themselves
};

int recordVisit(int position, void *item, void *data) {
    auto *visit = static_cast<Visit *>(data);
    int value = *static_cast<int *>(item);
    visit->calls.emplace_back(position, value);
    if (value == visit->removeValue) ListRemoveItem(visit->list, nullptr, position);
    if (static_cast<int>(visit->calls.size()) == visit->stopAt) return -1;
    return value;
}
} // namespace

TEST_F(ListTest, ApplyToEachOrderStopAndRemoval) {
    ListGuard list(intList({1, 2, 3, 4}));
    Visit up{list, {}};
    EXPECT_EQ(ListApplyToEach(list, 1, recordVisit, &up), 4);
    EXPECT_EQ(up.calls, (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));

    Visit stop{list, {}, 2};
    EXPECT_EQ(ListApplyToEach(list, 1, recordVisit, &stop), -1);
    EXPECT_EQ(stop.calls.size(), 2u);

    Visit down{list, {}, 0};
    EXPECT_EQ(ListApplyToEach(list, 0, recordVisit, &down), 1);
    EXPECT_EQ(down.calls, (std::vector<std::pair<int, int>>{{4, 4}, {3, 3}, {2, 2}, {1, 1}}));

    // Descending with removal of every 7: each remaining item is visited once.
    ListGuard sevens(intList({7, 1, 7, 7, 2, 7}));
    Visit remove{sevens, {}, 0, 7};
    ListApplyToEach(sevens, 0, recordVisit, &remove);
    EXPECT_EQ(remove.calls.size(), 6u);
    EXPECT_EQ(contents(sevens), (std::vector<int>{1, 2}));

    // Ascending: a removal shifts the next item into the current position, which is skipped;
    // the walk never runs past the shortened list.
    ListGuard forward(intList({7, 7, 1, 7}));
    Visit removeUp{forward, {}, 0, 7};
    ListApplyToEach(forward, 1, recordVisit, &removeUp);
    EXPECT_EQ(removeUp.calls, (std::vector<std::pair<int, int>>{{1, 7}, {2, 1}, {3, 7}}));
    EXPECT_EQ(contents(forward), (std::vector<int>{7, 1}));

    // A callback that clears the whole list on its first call ends the walk in either direction.
    auto clearAll = [](int, void *, void *data) {
        ListClear(static_cast<ListHandle>(data));
        return 3;
    };
    ListGuard cleared(intList({1, 2, 3}));
    EXPECT_EQ(ListApplyToEach(cleared, 0, clearAll, cleared.list), 3);
    EXPECT_EQ(ListApplyToEach(cleared, 1, clearAll, cleared.list), 0); // no call made
    EXPECT_EQ(ListApplyToEach(list, 1, nullptr, nullptr), 0);
}

// ---- Sorting ------------------------------------------------------------------------------------

namespace {

using SortFn = void (*)(void *, int, int, CompareFunction);
struct NamedSort {
    const char *name;
    SortFn sort;
};
const NamedSort kSorts[] = {
    {"QuickSortArray", QuickSortArray}, {"HeapSort", HeapSort}, {"InsertionSort", InsertionSort}};

// Records of `size` bytes: the first byte is the key, the rest a payload that tells equal keys
// apart, so a sort that drops or duplicates a record is caught.
int firstByteCompare(const void *a, const void *b) {
    return static_cast<int>(*static_cast<const unsigned char *>(a)) -
           *static_cast<const unsigned char *>(b);
}

std::vector<unsigned char> randomRecords(int count, int size, int keyRange, std::mt19937 &rng) {
    std::vector<unsigned char> data(static_cast<size_t>(count) * static_cast<size_t>(size));
    for (int i = 0; i < count; ++i) {
        unsigned char *record = &data[static_cast<size_t>(i) * static_cast<size_t>(size)];
        record[0] = static_cast<unsigned char>(rng() % static_cast<unsigned>(keyRange));
        for (int b = 1; b < size; ++b)
            record[b] = static_cast<unsigned char>(rng());
    }
    return data;
}

std::vector<std::string> asRecords(const unsigned char *data, int count, int size) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.emplace_back(reinterpret_cast<const char *>(data) + static_cast<size_t>(i) * size,
                         static_cast<size_t>(size));
    return out;
}

} // namespace

TEST_F(ListTest, SortsMatchStdSortForAllElementSizes) {
    std::mt19937 rng(2024);
    for (int size : {1, 2, 3, 4, 6, 8, 12, 16, 24}) {
        for (int keyRange : {256, 3}) { // distinct-ish keys, then many equal keys
            for (const NamedSort &s : kSorts) {
                const int count = s.sort == InsertionSort ? 600 : 3000;
                std::vector<unsigned char> data = randomRecords(count, size, keyRange, rng);
                std::vector<std::string> before = asRecords(data.data(), count, size);

                // Whole-record byte order (null comparison): the result is unique.
                std::vector<unsigned char> bytes = data;
                s.sort(bytes.data(), count, size, nullptr);
                std::vector<std::string> expected = before;
                std::sort(expected.begin(), expected.end(),
                          [](const std::string &a, const std::string &b) {
                              return std::memcmp(a.data(), b.data(), a.size()) < 0;
                          });
                ASSERT_EQ(asRecords(bytes.data(), count, size), expected)
                    << s.name << " size " << size;

                // Key-only order: sorted by key and a permutation of the input; the insertion
                // sort is also stable.
                s.sort(data.data(), count, size, firstByteCompare);
                std::vector<std::string> after = asRecords(data.data(), count, size);
                ASSERT_TRUE(std::is_sorted(after.begin(), after.end(),
                                           [](const std::string &a, const std::string &b) {
                                               return static_cast<unsigned char>(a[0]) <
                                                      static_cast<unsigned char>(b[0]);
                                           }))
                    << s.name << " size " << size;
                std::vector<std::string> stable = before;
                std::stable_sort(
                    stable.begin(), stable.end(), [](const std::string &a, const std::string &b) {
                        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
                    });
                if (s.sort == InsertionSort) {
                    ASSERT_EQ(after, stable) << "size " << size;
                } else {
                    std::sort(after.begin(), after.end());
                    std::sort(stable.begin(), stable.end());
                    ASSERT_EQ(after, stable) << s.name << " size " << size;
                }
            }
        }
    }
}

TEST_F(ListTest, SortsEveryPermutationOfSmallArrays) {
    // Ranges of two and three elements take their own paths in the quicksort; four to seven
    // exercise the partition at its smallest.
    for (int n = 0; n <= 7; ++n) {
        std::vector<int> perm(static_cast<size_t>(n));
        std::iota(perm.begin(), perm.end(), 0);
        do {
            for (const NamedSort &s : kSorts) {
                std::vector<int> data = perm;
                s.sort(data.data(), n, 4, IntCompare);
                std::vector<int> sorted(static_cast<size_t>(n));
                std::iota(sorted.begin(), sorted.end(), 0);
                ASSERT_EQ(data, sorted) << s.name;
            }
        } while (std::next_permutation(perm.begin(), perm.end()));
    }
}

TEST_F(ListTest, QuickSortHandlesAdversarialShapesAndTypedComparisons) {
    const int n = 20000;
    std::vector<std::vector<int>> shapes;
    std::vector<int> v(n);
    std::iota(v.begin(), v.end(), 0);
    shapes.push_back(v); // ascending
    std::reverse(v.begin(), v.end());
    shapes.push_back(v); // descending
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = i < n / 2 ? i : n - i; // organ pipe
    shapes.push_back(v);
    shapes.push_back(std::vector<int>(n, 42)); // all equal
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = i % 2 ? INT_MIN : INT_MAX; // extremes: no subtraction compare
    shapes.push_back(v);
    for (auto &shape : shapes) {
        std::vector<int> expected = shape;
        std::sort(expected.begin(), expected.end());
        ListGuard list(intList(shape));
        ListQuickSort(list, IntCompare);
        ASSERT_EQ(contents(list), expected);
    }

    // Typed comparisons on their own element sizes, and an unaligned array base.
    std::mt19937 rng(5);
    std::vector<short> shorts(5001);
    for (short &s : shorts)
        s = static_cast<short>(rng());
    std::vector<short> shortsExpected = shorts;
    std::sort(shortsExpected.begin(), shortsExpected.end());
    QuickSortArray(shorts.data(), static_cast<int>(shorts.size()), 2, ShortCompare);
    EXPECT_EQ(shorts, shortsExpected);

    std::vector<double> doubles(3001);
    for (double &d : doubles)
        d = std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
    std::vector<unsigned char> unaligned(doubles.size() * 8 + 1);
    std::memcpy(unaligned.data() + 1, doubles.data(), doubles.size() * 8);
    std::sort(doubles.begin(), doubles.end());
    for (const NamedSort &s : kSorts) {
        std::vector<unsigned char> work = unaligned;
        s.sort(work.data() + 1, static_cast<int>(doubles.size()), 8, DoubleCompare);
        EXPECT_EQ(std::memcmp(work.data() + 1, doubles.data(), doubles.size() * 8), 0) << s.name;
    }

    // Not-a-number compares greater in either order, so there is no consistent order: the sorts
    // must still stay inside the array and keep every element.
    std::vector<double> withNan(2001);
    for (size_t i = 0; i < withNan.size(); ++i)
        withNan[i] = i % 3 ? static_cast<double>(rng() % 100) : std::nan("");
    auto bitsOf = [](const std::vector<double> &v) {
        std::vector<std::uint64_t> bits(v.size());
        std::memcpy(bits.data(), v.data(), v.size() * 8);
        std::sort(bits.begin(), bits.end());
        return bits;
    };
    for (const NamedSort &s : kSorts) {
        std::vector<double> work = withNan;
        s.sort(work.data(), static_cast<int>(work.size()), 8, DoubleCompare);
        EXPECT_EQ(bitsOf(work), bitsOf(withNan)) << s.name;
    }
}

TEST_F(ListTest, ListSortsLeaveListsSorted) {
    std::mt19937 rng(3);
    for (int size : {3, 6, 8}) { // odd, 2 modulo 4, multiple of 4
        for (int count : {2, 3, 1000}) {
            ListGuard list(ListCreate(size));
            std::vector<unsigned char> data = randomRecords(count, size, 4, rng);
            ASSERT_EQ(ListInsertItems(list, data.data(), LIST_POS_END, count), 1);
            ListHandle copies[3] = {ListCopy(list), ListCopy(list), ListCopy(list)};
            ListQuickSort(copies[0], firstByteCompare);
            ListHeapSort(copies[1], firstByteCompare);
            ListInsertionSort(copies[2], firstByteCompare);
            for (ListHandle c : copies) {
                EXPECT_EQ(ListIsSorted(c, firstByteCompare), 1) << size << " " << count;
                EXPECT_EQ(ListNumItems(c), count);
                ListDispose(c);
            }
        }
    }
}

TEST_F(ListTest, SwapBlockSwapsAlignedAndUnalignedBlocks) {
    alignas(4) unsigned char buffer[40];
    for (int i = 0; i < 40; ++i)
        buffer[i] = static_cast<unsigned char>(i);
    SwapBlock(buffer, buffer + 20, 12);     // words
    SwapBlock(buffer + 13, buffer + 33, 5); // bytes
    const unsigned char expected[40] = {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 12, 33,
                                        34, 35, 36, 37, 18, 19, 0,  1,  2,  3,  4,  5,  6,  7,
                                        8,  9,  10, 11, 32, 13, 14, 15, 16, 17, 38, 39};
    EXPECT_EQ(std::memcmp(buffer, expected, 40), 0);
    SwapBlock(buffer, buffer, 8);
    SwapBlock(buffer, buffer + 8, 0);
    EXPECT_EQ(std::memcmp(buffer, expected, 40), 0);
}

// ---- Comparisons --------------------------------------------------------------------------------

TEST_F(ListTest, ComparisonsGiveSignsWithoutOverflowAndNanSortsLast) {
    int a = INT_MIN, b = 1;
    EXPECT_EQ(IntCompare(&a, &b), -1);
    EXPECT_EQ(IntCompare(&b, &a), 1);
    EXPECT_EQ(IntCompare(&a, &a), 0);
    short s1 = -32768, s2 = 32767;
    EXPECT_EQ(ShortCompare(&s1, &s2), -1);
    EXPECT_EQ(ShortCompare(&s2, &s1), 1);

    float nanF = std::nanf(""), oneF = 1.0f;
    EXPECT_EQ(FloatCompare(&nanF, &oneF), 1);
    EXPECT_EQ(FloatCompare(&oneF, &nanF), 1);
    EXPECT_EQ(FloatCompare(&nanF, &nanF), 1);
    float twoF = 2.0f;
    EXPECT_EQ(FloatCompare(&oneF, &twoF), -1);
    EXPECT_EQ(FloatCompare(&twoF, &twoF), 0);
    double nanD = std::nan(""), big = 1e300, small = -1e300;
    EXPECT_EQ(DoubleCompare(&nanD, &big), 1);
    EXPECT_EQ(DoubleCompare(&small, &nanD), 1);
    EXPECT_EQ(DoubleCompare(&small, &big), -1);
    EXPECT_EQ(DoubleCompare(&big, &small), 1);

    const char *x = "apple", *y = "apricot", *z = "apple", *none = nullptr;
    EXPECT_LT(CStringCompare(&x, &y), 0);
    EXPECT_GT(CStringCompare(&y, &x), 0);
    EXPECT_EQ(CStringCompare(&x, &z), 0);
    EXPECT_LT(CStringCompare(&none, &x), 0);
    EXPECT_GT(CStringCompare(&x, &none), 0);
    EXPECT_EQ(CStringCompare(&none, &none), 0);

    // Strings sorted through a pointer list.
    ListGuard names(ListCreate(sizeof(const char *)));
    for (const char *n : {"pear", "fig", "apple", "kiwi"})
        ListInsertItem(names, &n, LIST_POS_END);
    ListQuickSort(names, CStringCompare);
    std::vector<std::string> sorted;
    for (int i = 1; i <= ListNumItems(names); ++i)
        sorted.emplace_back(*static_cast<const char **>(ListGetPtrToItem(names, i)));
    EXPECT_EQ(sorted, (std::vector<std::string>{"apple", "fig", "kiwi", "pear"}));
}

// ---- Assertions and error texts -----------------------------------------------------------------

TEST(ToolboxDeathTest, DoAssertReportsAndAborts) {
    DoAssert(1, "never.c", 1, "not shown"); // a true value does nothing
    EXPECT_DEATH(DoAssert(0, "list.c", 123, "Item was NULL."),
                 "Assert\nAssert!\n\nItem was NULL.\n\nThe error was detected on line 123 of file "
                 "'list\\.c'\\.\n\nProgram aborting\\.");
    EXPECT_DEATH(DoAssert(0, "x.c", 9, nullptr), "Assert!\n\nProgramming error detected\\.\n\n");
    EXPECT_DEATH(GetHandleSize(nullptr), "Parameter 1 to GetHandleSize was NULL\\.");
    EXPECT_DEATH(SetHandleSize(nullptr, 4), "Parameter 1 to SetHandleSize was NULL\\.");
    EXPECT_DEATH(
        {
            SetAssertReporter([](const char *title, const char *message) {
                std::fprintf(stderr, "custom reporter <%s> <%s>\n", title, message);
            });
            DoAssert(0, "f.c", 1, "m");
        },
        "custom reporter <Assert> <Assert!\n\nm\n\nThe error was detected on line 1 of file "
        ".f\\.c.\\.\n\nProgram aborting\\.>");
}

TEST(ToolboxErrors, EveryLibraryCodeHasItsOwnText) {
    const int codes[] = {-12,  -65,   -91,   -92,   -93,   -94,   -95,   -96,   -97,   -98,  -99,
                         -100, -5001, -5002, -5003, -5004, -5021, -5022, -5023, -5024, -5025};
    std::vector<std::string> texts;
    const std::string unknown = GetToolboxErrorString(-4242);
    for (int code : codes) {
        std::string text = GetToolboxErrorString(code);
        EXPECT_NE(text, unknown) << code;
        EXPECT_FALSE(text.empty()) << code;
        texts.push_back(text);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::adjacent_find(texts.begin(), texts.end()), texts.end())
        << "two codes share a text";
    EXPECT_STREQ(GetToolboxErrorString(ToolErr_InvalidBooleanValue), "Invalid Boolean Value");
    EXPECT_STREQ(GetToolboxErrorString(ToolErr_CantOpenFileForReading),
                 "Could Not Open File For Reading");
}
