// The results history at workshop scale: a database of 1,000,000 generated results (made once by
// the generator below and kept in the build folder), then, against their targets:
//   store   a result stored, durably (WAL, synchronous=FULL): median under 5 ms;
//   search  a search by text (first page of 200, newest first): median under 50 ms;
//   list    the newest 200 results and the count of all, what a history list shows first;
//   count   the count of all matches of a text (no target);
//   size    the file per result: under 1 KB.
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "history/history.h"
#include "bench/support/bench_stats.h"

namespace {

constexpr int kResults = 1'000'000;
constexpr int kBatch = 10'000;
constexpr int kStores = 200;
constexpr int kPage = 200;
constexpr int64_t kPanelCountCap = 10000; // the history panel counts this far
constexpr double kStoreTargetMs = 5.0;
constexpr double kSearchTargetMs = 50.0;
constexpr double kListTargetMs = 200.0;
constexpr double kBytesPerResultTarget = 1024.0;
constexpr int64_t kFirstShown = 1'480'000'000; // late 2016: ten years of a busy workshop

// A realistic result: vehicles come back (20,000 plates), five sites, eight operators, a job
// reference on most, notes on some.
HistoryResult Generate(std::mt19937 &random, int n) {
    static const char *const kOperators[] = {"OP L.DUPONT",    "OP M.ROSSI",  "OP S.JANSEN",
                                             "OP K.MÜLLER",    "OP A.GARCÍA", "OP J.VIRTANEN",
                                             "OP E.LINDQVIST", "OP P.COSTA"};
    static const char *const kSites[] = {"GARAGE NORD", "AUTO SERVICE 24", "FLEET DEPOT 3",
                                         "WERKSTATT OST", "TALLER CENTRO"};
    static const char *const kNotes[] = {"customer waits",     "battery replaced",
                                         "terminals cleaned",  "Kunde ruft zurück",
                                         "recharge overnight", ""};
    static const char kLetters[] = "ABCDEFGHJKLMNPRSTVWXYZ";
    auto pick = [&](int count) {
        return static_cast<int>(random() % static_cast<unsigned>(count));
    };
    HistoryResult r;
    r.source = pick(10) == 0 ? HISTORY_SOURCE_TYPED : HISTORY_SOURCE_TESTER;
    r.shownUtc = kFirstShown + static_cast<int64_t>(n) * 300 + pick(300);
    r.utcOffset = 3600;
    r.programVersion = "1.0";
    r.logo0 = "LOGO-A";
    r.logo1 = "LOGO-B";
    const int vehicle = pick(20'000);
    char plate[16];
    std::snprintf(plate, sizeof plate, "%c%c-%03d-%c%c", kLetters[vehicle % 22],
                  kLetters[(vehicle / 22) % 22], vehicle % 1000, kLetters[(vehicle / 7) % 22],
                  kLetters[(vehicle / 13) % 22]);
    r.info = {"BT-SIM 500", "SW V2.14", "", kOperators[pick(8)], plate, kSites[pick(5)]};
    r.setPoint = 10 * (30 + vehicle % 70);
    r.bCca = r.setPoint * (35 + pick(95)) / 100;
    r.bVolt = 11.5 + pick(150) / 100.0;
    r.bRslt = pick(8);
    r.system = pick(6);
    r.soc = pick(6);
    r.tCode = std::string(1, kLetters[pick(22)]) + kLetters[pick(22)] + "7" + kLetters[pick(22)] +
              " " + std::to_string(1000 + pick(9000));
    r.cCode = r.tCode;
    r.ver = "V2.14";
    r.testNo = n;
    r.serNo = 40000 + pick(1000);
    if (pick(5) != 0) r.entry = "RO-" + std::to_string(100000 + n);
    r.notes = kNotes[pick(6)];
    return r;
}

int Generate(const std::string &path) {
    std::printf("generating %d results in %s ...\n", kResults, path.c_str());
    HistoryStore store;
    if (store.Open(path) != 0) return -1;
    std::mt19937 random(12345);
    const double start = bench::NowMs();
    std::vector<HistoryResult> batch;
    for (int n = 1; n <= kResults; ++n) {
        batch.push_back(Generate(random, n));
        if (batch.size() == kBatch) {
            if (store.AddBatch(batch) <= 0) return -1;
            batch.clear();
        }
    }
    std::printf("generated in %.0f s\n", (bench::NowMs() - start) / 1000);
    return 0;
}

void Report(const char *what, double value, double target, const char *unit) {
    std::printf("%-44s %10.2f %s   target < %.0f %s   %s\n", what, value, unit, target, unit,
                value < target ? "ok" : "MISSED");
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const std::string path = KS_BENCH_DATA "/history-1M.sqlite";
    HistoryStore store;
    if (!QFileInfo::exists(QString::fromStdString(path)) && Generate(path) != 0) {
        std::fprintf(stderr, "history_bench: the database cannot be generated\n");
        return 1;
    }
    const double openStart = bench::NowMs();
    const int opened = store.Open(path);
    const double openMs = bench::NowMs() - openStart;
    if (opened != 0 || store.Count(HistoryQuery{}) < kResults) {
        std::fprintf(stderr, "history_bench: %s is not a whole generated database; remove it\n",
                     path.c_str());
        return 1;
    }
    const int64_t count = store.Count(HistoryQuery{});

    std::mt19937 random(777);
    std::vector<double> stores;
    for (int i = 0; i < kStores; ++i) {
        const HistoryResult r = Generate(random, kResults + i);
        const double t = bench::NowMs();
        if (store.Add(r) <= 0) return 1;
        stores.push_back(bench::NowMs() - t);
    }

    const char *const kTexts[] = {"KX-042",    "042-c",     "ro-100777", "dupont",  "müller",
                                  "MULLER",    "zuruck",    "ab",        "7M 12",   "fleet",
                                  "terminals", "RO-999999", "GARCIA",    "xyz-123", "lindq"};
    std::vector<double> searches;
    double slowest = 0;
    const char *slowestText = "";
    for (const char *text : kTexts) {
        HistoryQuery query;
        query.text = text;
        query.limit = kPage;
        std::vector<HistoryResult> rows;
        const double t = bench::NowMs();
        store.Search(query, &rows);
        const double ms = bench::NowMs() - t;
        searches.push_back(ms);
        if (ms > slowest) {
            slowest = ms;
            slowestText = text;
        }
    }

    std::vector<double> counts, cappedCounts;
    for (const char *text : {"dupont", "fleet", "ro-100777"}) {
        HistoryQuery query;
        query.text = text;
        double t = bench::NowMs();
        store.Count(query);
        counts.push_back(bench::NowMs() - t);
        t = bench::NowMs();
        store.Count(query, kPanelCountCap + 1);
        cappedCounts.push_back(bench::NowMs() - t);
    }

    std::vector<double> lists;
    for (int i = 0; i < 5; ++i) {
        HistoryQuery query;
        query.limit = kPage;
        std::vector<HistoryResult> rows;
        const double t = bench::NowMs();
        store.Search(query, &rows);
        store.Count(HistoryQuery{});
        lists.push_back(bench::NowMs() - t);
    }
    store.Close();
    const double bytes = static_cast<double>(QFileInfo(QString::fromStdString(path)).size());

    std::printf("history of %lld results\n", static_cast<long long>(count));
    std::printf("%-44s %10.2f ms   (after the first paint; no target)\n", "open the history",
                openMs);
    Report("store one result (median, synchronous=FULL)", bench::Median(stores), kStoreTargetMs,
           "ms");
    Report("search by text (median, first 200)", bench::Median(searches), kSearchTargetMs, "ms");
    std::printf("%-44s %10.2f ms   (\"%s\")\n", "  slowest search", slowest, slowestText);
    std::printf("%-44s %10.2f ms   (no target; ks_history stats)\n",
                "count of all matches of a text (median)", bench::Median(counts));
    std::printf("%-44s %10.2f ms   (no target; the panel, on each keystroke)\n",
                "the same, counted up to 10,000 (median)", bench::Median(cappedCounts));
    Report("newest 200 and the count (median)", bench::Median(lists), kListTargetMs, "ms");
    Report("file per result", bytes / static_cast<double>(count), kBytesPerResultTarget, "B");
    return 0;
}
