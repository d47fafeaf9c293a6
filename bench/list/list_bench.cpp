// The dynamic list against its peers, measured in one run: sorting (C qsort, std::sort), binary
// search (std::lower_bound) and appending (std::vector::push_back). Every peer uses the same
// comparison function through a pointer. At the end the ratios are printed (ours / peer; below
// 1.0 means ours is faster) next to the targets.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "toolbox/core/list.h"

namespace {

constexpr int kElements = 1000000;
constexpr int kSearchKeys = 1 << 14;

struct Record { // 24 bytes, sorted by its 32-bit key
    std::int32_t key;
    std::int32_t serial;
    double weight;
    std::int64_t tag;
};
static_assert(sizeof(Record) == 24);

int RecordCompare(const void *a, const void *b) {
    std::int32_t x = static_cast<const Record *>(a)->key;
    std::int32_t y = static_cast<const Record *>(b)->key;
    return (x > y) - (x < y);
}

const std::vector<std::int32_t> &randomInts() {
    static const std::vector<std::int32_t> data = [] {
        std::mt19937 rng(1);
        std::vector<std::int32_t> v(kElements);
        for (auto &x : v)
            x = static_cast<std::int32_t>(rng());
        return v;
    }();
    return data;
}

const std::vector<Record> &randomRecords() {
    static const std::vector<Record> data = [] {
        std::mt19937 rng(2);
        std::vector<Record> v(kElements);
        for (int i = 0; i < kElements; ++i)
            v[static_cast<size_t>(i)] = Record{static_cast<std::int32_t>(rng()), i, i * 0.5, -i};
        return v;
    }();
    return data;
}

// The comparison is read through a volatile so no peer gets it inlined.
template <class T> CompareFunction comparisonFor();
template <> CompareFunction comparisonFor<std::int32_t>() {
    static volatile CompareFunction f = IntCompare;
    return f;
}
template <> CompareFunction comparisonFor<Record>() {
    static volatile CompareFunction f = RecordCompare;
    return f;
}

template <class T> const std::vector<T> &dataFor();
template <> const std::vector<std::int32_t> &dataFor<std::int32_t>() {
    return randomInts();
}
template <> const std::vector<Record> &dataFor<Record>() {
    return randomRecords();
}

// Each iteration sorts a fresh copy; the copy is not timed.
template <class T, class SortFn> void runSort(benchmark::State &state, SortFn sort) {
    const std::vector<T> &source = dataFor<T>();
    std::vector<T> work(source.size());
    CompareFunction compare = comparisonFor<T>();
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), source.data(), source.size() * sizeof(T));
        state.ResumeTiming();
        sort(work.data(), static_cast<int>(work.size()), compare);
        benchmark::ClobberMemory();
    }
    if (!std::is_sorted(work.begin(), work.end(),
                        [compare](const T &a, const T &b) { return compare(&a, &b) < 0; }))
        state.SkipWithError("not sorted");
}

template <class T> void BM_QuickSortArray(benchmark::State &state) {
    runSort<T>(state, [](T *data, int n, CompareFunction compare) {
        QuickSortArray(data, n, sizeof(T), compare);
    });
}
template <class T> void BM_Qsort(benchmark::State &state) {
    runSort<T>(state, [](T *data, int n, CompareFunction compare) {
        std::qsort(data, static_cast<size_t>(n), sizeof(T), compare);
    });
}
template <class T> void BM_StdSort(benchmark::State &state) {
    runSort<T>(state, [](T *data, int n, CompareFunction compare) {
        std::sort(data, data + n,
                  [compare](const T &a, const T &b) { return compare(&a, &b) < 0; });
    });
}
template <class T> void BM_ListQuickSort(benchmark::State &state) {
    const std::vector<T> &source = dataFor<T>();
    ListHandle list = ListCreate(sizeof(T));
    ListInsertItems(list, source.data(), LIST_POS_END, static_cast<int>(source.size()));
    CompareFunction compare = comparisonFor<T>();
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(ListGetDataPtr(list), source.data(), source.size() * sizeof(T));
        state.ResumeTiming();
        ListQuickSort(list, compare);
        benchmark::ClobberMemory();
    }
    if (!ListIsSorted(list, compare)) state.SkipWithError("not sorted");
    ListDispose(list);
}

// Sorted distinct even numbers; the keys hit and miss about equally.
struct SearchData {
    std::vector<std::int32_t> sorted;
    std::vector<std::int32_t> keys;
    SearchData() : sorted(kElements), keys(kSearchKeys) {
        for (int i = 0; i < kElements; ++i)
            sorted[static_cast<size_t>(i)] = 2 * i;
        std::mt19937 rng(3);
        for (auto &k : keys)
            k = static_cast<std::int32_t>(rng() % (2u * kElements));
    }
};
const SearchData &searchData() {
    static const SearchData data;
    return data;
}

void BM_ListBinSearch(benchmark::State &state) {
    const SearchData &d = searchData();
    ListHandle list = ListCreate(sizeof(std::int32_t));
    ListInsertItems(list, d.sorted.data(), LIST_POS_END, kElements);
    CompareFunction compare = comparisonFor<std::int32_t>();
    for (auto _ : state) {
        long found = 0;
        for (std::int32_t key : d.keys)
            found += ListBinSearch(list, &key, compare);
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kSearchKeys);
    ListDispose(list);
}

void BM_LowerBound(benchmark::State &state) {
    const SearchData &d = searchData();
    CompareFunction compare = comparisonFor<std::int32_t>();
    for (auto _ : state) {
        long found = 0;
        for (std::int32_t key : d.keys) {
            auto it = std::lower_bound(d.sorted.begin(), d.sorted.end(), key,
                                       [compare](const std::int32_t &a, const std::int32_t &b) {
                                           return compare(&a, &b) < 0;
                                       });
            if (it != d.sorted.end() && compare(&*it, &key) == 0)
                found += it - d.sorted.begin() + 1;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kSearchKeys);
}

void BM_ListAppend(benchmark::State &state) {
    for (auto _ : state) {
        ListHandle list = ListCreate(sizeof(std::int32_t));
        for (std::int32_t i = 0; i < kElements; ++i)
            ListInsertItem(list, &i, LIST_POS_END);
        benchmark::DoNotOptimize(ListGetDataPtr(list));
        ListDispose(list);
    }
}

void BM_VectorPushBack(benchmark::State &state) {
    for (auto _ : state) {
        std::vector<std::int32_t> v;
        for (std::int32_t i = 0; i < kElements; ++i)
            v.push_back(i);
        benchmark::DoNotOptimize(v.data());
    }
}

BENCHMARK(BM_QuickSortArray<std::int32_t>)
    ->Name("sort/int32/QuickSortArray")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListQuickSort<std::int32_t>)
    ->Name("sort/int32/ListQuickSort")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Qsort<std::int32_t>)->Name("sort/int32/qsort")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSort<std::int32_t>)->Name("sort/int32/std::sort")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSortArray<Record>)
    ->Name("sort/record24/QuickSortArray")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListQuickSort<Record>)
    ->Name("sort/record24/ListQuickSort")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Qsort<Record>)->Name("sort/record24/qsort")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSort<Record>)->Name("sort/record24/std::sort")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListBinSearch)->Name("search/ListBinSearch")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LowerBound)->Name("search/std::lower_bound")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListAppend)->Name("append/ListInsertItem")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorPushBack)->Name("append/vector::push_back")->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration (the median when repetitions are asked for) while
// the console shows the usual table.
class CollectingReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            seconds[name] = run.GetAdjustedRealTime();
        }
    }
};

void printRatio(const std::map<std::string, double> &s, const std::string &ours,
                const std::string &peer, const char *target) {
    auto a = s.find(ours), b = s.find(peer);
    if (a == s.end() || b == s.end() || b->second <= 0) return;
    double ratio = a->second / b->second;
    std::printf("  %-30s / %-26s %6.3f   %s\n", ours.c_str(), peer.c_str(), ratio, target);
}

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto &s = reporter.seconds;
    std::printf("\nRatios (time of ours / time of peer):\n");
    for (const char *set : {"int32", "record24"}) {
        std::string p = std::string("sort/") + set + "/";
        printRatio(s, p + "QuickSortArray", p + "qsort", "target <= 1.0");
        printRatio(s, p + "ListQuickSort", p + "qsort", "target <= 1.0");
        printRatio(s, p + "QuickSortArray", p + "std::sort", "");
        printRatio(s, p + "ListQuickSort", p + "std::sort", "");
    }
    printRatio(s, "search/ListBinSearch", "search/std::lower_bound", "target <= 1.5");
    printRatio(s, "append/ListInsertItem", "append/vector::push_back", "target <= 3.0");
    benchmark::Shutdown();
    return 0;
}
