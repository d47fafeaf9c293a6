// Key-press latency while the tester's port is open and quiet: the time from a key press posted
// to the event loop to its character in the notes box of the real main panel, the application's
// main callback polling the port as it does at the bench. The peer is the same text box in the
// same run with the main callback removed, so the ratio shows what polling costs the operator.
// Target: 95th percentile under 30 ms.
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
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ks_callbacks.h"
#include "app/ks_read.h"
#include "platform/testing.h"
#include "bench/support/bench_stats.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPresses = 100;
constexpr int kMaxPauseMs = 250; // presses come at random moments against the 0.2 s poll rhythm
constexpr double kTargetP95Ms = 30.0;

// The tester's end of the line: a pseudo-terminal that stays quiet.
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

// Presses a key at random moments and returns the milliseconds to each character's arrival.
std::vector<double> measure(QPlainTextEdit *box) {
    std::vector<double> latencies;
    QElapsedTimer clock;
    bool waiting = false;
    const auto connection = QObject::connect(box, &QPlainTextEdit::textChanged, [&] {
        if (!waiting) return;
        waiting = false;
        latencies.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    });
    for (int n = 0; n < kPresses; ++n) {
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
        runUntil([&] { return latencies.size() > before; });
    }
    QObject::disconnect(connection);
    return latencies;
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
    KsResetState();
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return polling.size() == static_cast<size_t>(kPresses) ? 0 : 1;
}
