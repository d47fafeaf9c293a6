// The workshop server: 10,000 results from 4 simulated benches, each with its own history and its
// own sender, go to a private PostgreSQL server on this machine. Each bench first stores results
// at a steady pace (far denser than a tester's, one every few seconds), then the rest as a
// burst. Measured: the server's throughput during the burst, and the time from a result stored
// in its bench's history (the moment it is shown) to the server taking it, median and 99th
// percentile, for both parts. Target: under 1 s at the steady pace.
//
// The arrival time is the server's own: each row's received_utc, the server's clock when the
// statement that inserted it began (one statement per transaction). It is read once at the end,
// so nothing polls the server while it works; bench and server share this machine's clock.
#include <QCoreApplication>
#include <QSqlDatabase>

#include <stdlib.h>

#include <barrier>
#include <chrono>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/support/bench_stats.h"
#include "history/history.h"
#include "tests/support/pg_cluster.h"
#include "tests/support/temp_dir.h"
#include "workshop/workshop_sender.h"

namespace {

constexpr int kBenches = 4;
constexpr int kPacedPerBench = 500;
constexpr int kBurstPerBench = 2000; // 2,500 per bench, 10,000 in all
constexpr int kPaceMs = 20;          // between two results of one bench at the steady pace
constexpr double kLatencyTargetMs = 1000.0;
constexpr int kDrainTimeoutS = 300;
constexpr char kDatabase[] = "workshop";
constexpr char kPassword[] = "bench";

int64_t WallMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

HistoryResult Result(int bench, int n) {
    HistoryResult r;
    r.source = HISTORY_SOURCE_TESTER;
    r.shownUtc = WallMicros() / 1000000;
    r.utcOffset = 3600;
    r.programVersion = "bench";
    r.info = {"BT-SIM 500",
              "SW 2",
              "12-07-2026",
              "OP " + std::to_string(n % 8),
              "HN-" + std::to_string(bench) + "-" + std::to_string(n),
              "Hall " + std::to_string(bench)};
    r.bVolt = 12.0 + (n % 90) / 100.0;
    r.bCca = 300 + n % 500;
    r.setPoint = 500;
    r.tCode = "3E225891";
    r.entry = "REF-" + std::to_string(n);
    return r;
}

struct Bench {
    std::string name;
    std::string path;
    std::unique_ptr<WorkshopSender> sender;
    std::map<int64_t, int64_t> storedUs; // local id -> wall clock when stored
    int opened = -1;
};

// One bench's life on a thread of its own (a history connection belongs to the thread that opens
// it): kPacedPerBench results one every kPaceMs, then kBurstPerBench as fast as the history
// takes them, waking the sender after each as the program does. The phases start together.
void Store(Bench *bench, int index, std::barrier<> *phase) {
    HistoryStore history;
    bench->opened = history.Open(bench->path);
    phase->arrive_and_wait(); // opened
    phase->arrive_and_wait(); // the steady pace begins
    const auto start = std::chrono::steady_clock::now();
    auto store = [&](int n) {
        const int64_t id = history.Add(Result(index, n));
        const int64_t stored = WallMicros();
        if (id <= 0) return;
        bench->storedUs[id] = stored;
        bench->sender->Wake();
    };
    for (int n = 0; n < kPacedPerBench; ++n) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(n * kPaceMs));
        store(n);
    }
    phase->arrive_and_wait(); // stored at the pace
    phase->arrive_and_wait(); // the burst begins
    for (int n = kPacedPerBench; n < kPacedPerBench + kBurstPerBench; ++n)
        store(n);
    phase->arrive_and_wait(); // stored in the burst
}

bool WaitUntilSent(const std::vector<std::unique_ptr<Bench>> &benches) {
    const double end = bench::NowMs() + kDrainTimeoutS * 1000.0;
    while (bench::NowMs() < end) {
        bool all = true;
        for (const auto &b : benches) {
            const WorkshopStatus s = b->sender->Status();
            all = all && s.state == WORKSHOP_UP_TO_DATE && s.backlog == 0;
        }
        if (all) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void Report(const char *what, double value, double target, const char *unit) {
    std::printf("%-52s %10.2f %s   target < %.0f %s   %s\n", what, value, unit, target, unit,
                value < target ? "ok" : "MISSED");
}

int Run() {
    ks_test::PgCluster cluster;
    cluster.MakeWorkshopDatabase(kDatabase);
    ks_test::TempDir folder;
    std::vector<std::unique_ptr<Bench>> benches;
    setenv("PGPASSWORD", kPassword, 1);
    std::barrier<> phase(kBenches + 1);
    std::vector<std::thread> threads;
    for (int b = 0; b < kBenches; ++b) {
        auto bench = std::make_unique<Bench>();
        bench->name = "bench" + std::to_string(b + 1);
        bench->path = folder.file(bench->name + ".sqlite");
        cluster.MakeLoginRole(bench->name, kPassword, "ks_bench", kDatabase);
        const std::string connection = "host=" + cluster.Host() +
                                       " port=" + std::to_string(cluster.Port()) +
                                       " dbname=" + kDatabase + " user=" + bench->name;
        bench->sender = std::make_unique<WorkshopSender>(
            bench->path, WorkshopConfig{bench->name, connection, ""});
        threads.emplace_back(Store, bench.get(), b, &phase);
        benches.push_back(std::move(bench));
    }
    phase.arrive_and_wait(); // every history is made before its sender opens it
    for (const auto &b : benches)
        b->sender->Start();
    const bool reached = WaitUntilSent(benches);
    phase.arrive_and_wait(); // the steady pace
    phase.arrive_and_wait();
    const bool pacedSent = WaitUntilSent(benches);
    const int64_t burstStart = WallMicros();
    phase.arrive_and_wait(); // the burst
    phase.arrive_and_wait();
    const int64_t burstStored = WallMicros();
    const bool burstSent = WaitUntilSent(benches);
    for (auto &t : threads)
        t.join();
    for (const auto &b : benches)
        if (b->opened != 0) {
            std::fprintf(stderr, "workshop_bench: %s cannot be opened\n", b->path.c_str());
            return 1;
        }
    if (!reached || !pacedSent || !burstSent) {
        std::fprintf(stderr, "workshop_bench: not everything reached the server in %d s: %s\n",
                     kDrainTimeoutS, benches[0]->sender->Status().detail.c_str());
        return 1;
    }

    // One read at the end: every row's arrival on the server's clock.
    const ks_test::CommandResult rows =
        cluster.Sql("SELECT bench, local_id, (extract(epoch FROM received_utc) * 1000000)::bigint "
                    "FROM ks_results",
                    kDatabase);
    if (rows.status != 0) {
        std::fprintf(stderr, "workshop_bench: %s\n", rows.output.c_str());
        return 1;
    }
    std::map<std::pair<std::string, int64_t>, int64_t> received;
    std::istringstream lines(rows.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t a = line.find('|'), b = line.rfind('|');
        if (a == std::string::npos || a == b) continue;
        received[{line.substr(0, a), std::stoll(line.substr(a + 1, b - a - 1))}] =
            std::stoll(line.substr(b + 1));
    }
    std::vector<double> paced, burst;
    size_t stored = 0, missing = 0;
    int64_t lastArrival = 0;
    for (const auto &b : benches) {
        for (const auto &[id, at] : b->storedUs) {
            ++stored;
            const auto found = received.find({b->name, id});
            if (found == received.end()) {
                ++missing;
                continue;
            }
            const double ms = static_cast<double>(found->second - at) / 1000.0;
            const bool inBurst = id > kPacedPerBench; // ids count from 1 in a new history
            (inBurst ? burst : paced).push_back(ms);
            if (inBurst) lastArrival = std::max(lastArrival, found->second);
        }
    }
    const double burstSeconds = static_cast<double>(lastArrival - burstStart) / 1e6;
    const double storeSeconds = static_cast<double>(burstStored - burstStart) / 1e6;
    std::printf("%d benches, %zu results stored, %zu on the server, %zu missing, %zu rows there\n",
                kBenches, stored, stored - missing, missing, received.size());
    std::printf("%-52s %10.0f results/s   (%zu results in %.2f s; the benches stored them at "
                "%.0f results/s)\n",
                "server throughput, burst", burstSeconds > 0 ? burst.size() / burstSeconds : 0.0,
                burst.size(), burstSeconds, storeSeconds > 0 ? burst.size() / storeSeconds : 0.0);
    Report("stored to on the server, steady pace, median", bench::Median(paced), kLatencyTargetMs,
           "ms");
    Report("stored to on the server, steady pace, 99th pct", bench::Percentile(paced, 0.99),
           kLatencyTargetMs, "ms");
    std::printf("%-52s %10.2f ms   (no target; the queue of the burst)\n",
                "stored to on the server, burst, median", bench::Median(burst));
    std::printf("%-52s %10.2f ms   (no target)\n", "stored to on the server, burst, 99th pct",
                bench::Percentile(burst, 0.99));
    std::printf("ratio of the steady pace's 99th percentile to its target: %.2f\n",
                bench::Percentile(paced, 0.99) / kLatencyTargetMs);
    for (auto &b : benches)
        b->sender.reset();
    return missing == 0 && received.size() == stored ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (!ks_test::PgCluster::Available()) {
        std::printf("workshop server: skipped: no PostgreSQL (initdb, pg_ctl and psql are not "
                    "installed; scripts/install-deps installs them)\n");
        return 0;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        std::printf("workshop server: skipped: no PostgreSQL driver for Qt SQL (QPSQL)\n");
        return 0;
    }
    try {
        return Run();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "workshop_bench: %s\n", e.what());
        return 1;
    }
}
