// Key-press latency while the tester's port is open and quiet: the time from a key press posted
// to the event loop to its character in the notes box of the real main panel, the application's
// main callback polling the port as it does at the bench. The peer is the same text box in the
// same run with the main callback removed, so the ratio shows what polling costs the operator.
// Target: 95th percentile under 30 ms.
//
// Then records keep arriving (one every kRecordEveryMs) and the same presses are timed with and
// without a workshop server configured (workshop.ini beside ks.ini, pointing at a private
// PostgreSQL server), in alternating blocks so that both see the same growing history: every
// result shown is also sent, and the panel must stay as responsive as without a server.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTimer>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ks_callbacks.h"
#include "app/ks_read.h"
#include "app/ks_workshop.h"
#include "bench/support/bench_stats.h"
#include "platform/testing.h"
#include "tests/support/pg_cluster.h"
#include "workshop/workshop_config.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPresses = 100;
constexpr int kMaxPauseMs = 250; // presses come at random moments against the 0.2 s poll rhythm
constexpr double kTargetP95Ms = 30.0;
constexpr int kLostAfterMs = 5000;
constexpr int kRecordEveryMs = 400; // while results keep arriving
constexpr int kBlockPresses = 50;   // per block of the runs with and without the server
constexpr int kBlockPairs = 2;
constexpr double kSendingTargetRatio = 1.25; // p95 while sending over p95 without a server
constexpr char kDatabase[] = "workshop";
constexpr char kBench[] = "bench1";
constexpr char kPassword[] = "bench";

// The tester's end of the line: a pseudo-terminal, quiet until Arrivals writes records to it.
struct QuietLine {
    int master = -1;
    std::string device;
    QuietLine() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        device = ptsname(master);
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    ~QuietLine() {
        if (master >= 0) close(master);
    }
};

// The tester sending records one after the other, from a thread of its own.
class Arrivals {
  public:
    explicit Arrivals(int master) : thread_([this, master] { Run(master); }) {}
    ~Arrivals() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    int Sent() const { return sent_; }

  private:
    void Run(int master) {
        for (int n = 1;; ++n) {
            std::string bytes;
            for (const std::string &line :
                 {std::string("DATE 12-07-2026 START  : TEST"),
                  "B VOLT : 12,6" + std::to_string(n % 10),
                  "SETPNT : " + std::to_string(400 + n % 300), std::string("TCODE  : 3E225891"),
                  "INFO 0 : RECORD " + std::to_string(n), std::string("STOP   : ")})
                bytes += line + std::string(1, '\0');
            if (write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()))
                ++sent_;
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_for(lock, std::chrono::milliseconds(kRecordEveryMs),
                               [this] { return stop_; }))
                return;
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<int> sent_{0};
    std::thread thread_;
};

// A program folder of its own with the built resources, and the current directory beside it.
std::string preparedFolder() {
    char pattern[] = "/tmp/ks_key_bench.XXXXXX";
    const char *root = mkdtemp(pattern);
    if (root == nullptr) return {};
    const std::string prog = std::string(root) + "/program";
    fs::create_directories(prog);
    fs::create_directories(std::string(root) + "/work");
    fs::create_directories(std::string(root) + "/legacy");
    for (const auto &entry : fs::directory_iterator(KS_PROGRAM_DIR)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".json" || ext == ".lng" || ext == ".txt"))
            fs::copy_file(entry.path(), prog + "/" + entry.path().filename().string());
    }
    return root;
}

// Runs the event loop until done() holds (checked every 10 ms).
void runUntil(const std::function<bool()> &done) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [done, weak = std::weak_ptr<std::function<void()>>(poll)] {
        if (done()) {
            QuitUserInterface(0);
        } else if (auto again = weak.lock()) {
            RT_TestPost(*again, 10);
        }
    };
    RT_TestPost(*poll, 0);
    RunUserInterface();
}

// Presses a key at random moments and returns the milliseconds to each character's arrival (fewer
// than presses when some were lost).
std::vector<double> measure(QPlainTextEdit *box, int presses = kPresses) {
    std::vector<double> latencies;
    QElapsedTimer clock;
    bool waiting = false;
    const auto connection = QObject::connect(box, &QPlainTextEdit::textChanged, [&] {
        // A record shown meanwhile empties the box, which is not the key's arrival.
        if (!waiting || !box->toPlainText().endsWith(QLatin1Char('a'))) return;
        waiting = false;
        latencies.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    });
    for (int n = 0; n < presses; ++n) {
        if (n % 40 == 0) box->clear(); // the box keeps one short line
        const int pause = static_cast<int>(QRandomGenerator::global()->bounded(kMaxPauseMs));
        RT_TestPost(
            [&] {
                waiting = true;
                clock.start();
                QCoreApplication::postEvent(
                    box, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
                QCoreApplication::postEvent(
                    box, new QKeyEvent(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a"));
            },
            pause);
        const size_t before = latencies.size();
        // A press that never shows (taken by something else) is left out rather than waited for.
        runUntil([&] {
            return latencies.size() > before || (waiting && clock.elapsed() > kLostAfterMs);
        });
        waiting = false;
    }
    QObject::disconnect(connection);
    return latencies;
}

// The presses while records keep arriving, in blocks without and with a workshop server; 0, or 1
// when the server could not be set up or nothing reached it.
int measureWhileSending(QPlainTextEdit *notes, int master) {
    if (!ks_test::PgCluster::Available()) {
        std::printf("key press while results are sent to a workshop server: skipped: no "
                    "PostgreSQL (initdb, pg_ctl and psql are not installed)\n");
        return 0;
    }
    std::unique_ptr<ks_test::PgCluster> cluster;
    try {
        cluster = std::make_unique<ks_test::PgCluster>();
        cluster->MakeWorkshopDatabase(kDatabase);
        cluster->MakeLoginRole(kBench, kPassword, "ks_bench", kDatabase);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "key latency: %s\n", e.what());
        return 1;
    }
    setenv("PGPASSWORD", kPassword, 1); // as from the bench's ~/.pgpass
    const WorkshopConfig config{kBench,
                                "host=" + cluster->Host() +
                                    " port=" + std::to_string(cluster->Port()) +
                                    " dbname=" + kDatabase + " user=" + kBench,
                                ""};
    InstallMainCallback(KSMainCB, nullptr, 1);
    std::vector<double> without, sending;
    int records = 0;
    std::string failure;
    {
        Arrivals arrivals(master);
        for (int pair = 0; pair < kBlockPairs && failure.empty(); ++pair) {
            const std::vector<double> quiet = measure(notes, kBlockPresses);
            without.insert(without.end(), quiet.begin(), quiet.end());
            if (WorkshopWriteConfig(kWorkshopFileName, config) != 0) failure = "no workshop.ini";
            KsResetWorkshopState(); // the main callback reads workshop.ini again
            runUntil([] {
                const int state = KsWorkshopStatus().state;
                return state == WORKSHOP_SENDING || state == WORKSHOP_UP_TO_DATE ||
                       state == WORKSHOP_FAILING;
            });
            if (KsWorkshopStatus().state == WORKSHOP_FAILING)
                failure = "the server refused: " + KsWorkshopStatus().detail;
            const std::vector<double> busy = measure(notes, kBlockPresses);
            sending.insert(sending.end(), busy.begin(), busy.end());
            std::error_code ignored;
            fs::remove(kWorkshopFileName, ignored);
            KsResetWorkshopState();
        }
        records = arrivals.Sent();
    }
    InstallMainCallback(nullptr, nullptr, 0);
    const ks_test::CommandResult onServer =
        cluster->Sql("SELECT count(*) FROM ks_results", kDatabase);
    const int sent = onServer.status == 0 ? std::atoi(onServer.output.c_str()) : 0;
    if (!failure.empty() || sent == 0) {
        std::fprintf(stderr, "key latency: nothing was sent (%s)\n", failure.c_str());
        return 1;
    }
    const double p95 = bench::Percentile(sending, 0.95),
                 withoutP95 = bench::Percentile(without, 0.95);
    const double ratio = withoutP95 > 0 ? p95 / withoutP95 : 0.0;
    std::printf("key press while records arrive (%d, one every %d ms; %d results sent to the "
                "workshop server): while sending p95 %.2f ms, median %.2f ms, max %.2f ms (%zu "
                "presses); without a server p95 %.2f ms, median %.2f ms (%zu presses), of %d each; "
                "ratio %.2f "
                "(target <= %.2f) %s\n",
                records, kRecordEveryMs, sent, p95, bench::Percentile(sending, 0.5),
                bench::Percentile(sending, 1.0), sending.size(), withoutP95,
                bench::Percentile(without, 0.5), without.size(), kBlockPairs * kBlockPresses, ratio,
                kSendingTargetRatio, ratio <= kSendingTargetRatio ? "ok" : "MISSED");
    return 0;
}

} // namespace

int main(int, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string root = preparedFolder();
    QuietLine line;
    if (root.empty() || line.device.empty()) {
        std::fprintf(stderr, "key latency: no temporary folder or pseudo-terminal\n");
        return 1;
    }
    if (chdir((root + "/work").c_str()) != 0) return 1;
    RT_TestSetProgramDir((root + "/program").c_str());
    RT_TestSetLegacyRoot((root + "/legacy").c_str());
    RT_TestMapPort(1, line.device.c_str());
    RT_TestAnswerPopup(PNL_LANGUAGE, {{RT_TestPopupStep::SET_INT, LANGUAGE_LIST, 1, 0.0, {}},
                                      {RT_TestPopupStep::COMMIT, LANGUAGE_OK, 0, 0.0, {}}});
    KsRegisterCallbacks();
    if (KsStartup(argv) != 0) return 1;
    runUntil([] { return commStatus != 1; });
    if (commStatus != 0) {
        std::fprintf(stderr, "key latency: the port did not open (%d)\n", commStatus);
        return 1;
    }
    SetActiveCtrl(panelHandle, MAIN_NOTES);
    QPlainTextEdit *notes = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible())
            if (auto *box = qobject_cast<QPlainTextEdit *>(window->focusWidget())) notes = box;
    if (notes == nullptr) {
        std::fprintf(stderr, "key latency: the notes box was not found\n");
        return 1;
    }

    const std::vector<double> polling = measure(notes);
    InstallMainCallback(nullptr, nullptr, 0); // the peer: the same box, nothing polling
    const std::vector<double> bare = measure(notes);

    const double p95 = bench::Percentile(polling, 0.95), bareP95 = bench::Percentile(bare, 0.95);
    std::printf("key press to its character in the notes box, port open and quiet (%zu presses): "
                "ks_read p95 %.2f ms, median %.2f ms, max %.2f ms; same box without polling p95 "
                "%.2f ms; ratio %.2f (target p95 < %.0f ms)\n",
                polling.size(), p95, bench::Percentile(polling, 0.5),
                bench::Percentile(polling, 1.0), bareP95, bareP95 > 0 ? p95 / bareP95 : 0.0,
                kTargetP95Ms);
    const int whileSending = measureWhileSending(notes, line.master);
    KsResetState();
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return polling.size() == static_cast<size_t>(kPresses) && whileSending == 0 ? 0 : 1;
}
