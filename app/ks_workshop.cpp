// The bench's link to the workshop server. See ks_workshop.h.
#include "app/ks_workshop.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ks_hist.h"

namespace {

std::unique_ptr<WorkshopSender> sender;
std::unique_ptr<WorkshopSearcher> searcher;
void (*answerListener)(const WorkshopAnswer &) = nullptr;
bool started = false;
// Replaced senders and searchers finishing their statement in flight, each on a thread of its
// own.
std::vector<std::future<void>> stopping;

void WakeSender() {
    if (sender) sender->Wake();
}

void ForgetStopped() {
    stopping.erase(std::remove_if(stopping.begin(), stopping.end(),
                                  [](const std::future<void> &done) {
                                      return done.wait_for(std::chrono::seconds(0)) ==
                                             std::future_status::ready;
                                  }),
                   stopping.end());
}

// Ends an object that may be waiting for the network without making the caller wait for it.
template <typename T> void StopAside(std::unique_ptr<T> &running) {
    if (!running) return;
    stopping.push_back(
        std::async(std::launch::async, [old = std::move(running)]() mutable { old.reset(); }));
}

// An exit() from inside the event loop runs the static destructors after Qt SQL's own: the
// sender's and searcher's threads, which use Qt SQL, are stopped first by a handler registered
// once they exist (after the history's, so it runs before it).
void FinishAtExit() {
    KsWorkshopFinish();
}

void Start(const WorkshopConfig &config) {
    static const bool finishedAtExit = std::atexit(FinishAtExit) == 0;
    (void)finishedAtExit;
    if (const std::string reading = WorkshopSearchConnection(config); !reading.empty())
        searcher = std::make_unique<WorkshopSearcher>(reading);
    if (!config.Enabled()) return;
    const std::string history = KsHistoryPath();
    if (history.empty()) return;
    sender = std::make_unique<WorkshopSender>(history, config);
    KsHistoryOnChange(WakeSender);
    sender->Start();
}

} // namespace

void KsWorkshopIdle(void) {
    if (started) {
        if (searcher) {
            if (std::optional<WorkshopAnswer> answer = searcher->Take(); answer && answerListener)
                answerListener(*answer);
        }
        return;
    }
    started = true;
    WorkshopConfig config;
    // Beside ks.ini, which lies in the current directory.
    if (WorkshopReadConfig(kWorkshopFileName, &config) != 0) return;
    Start(config);
}

void KsWorkshopRestart(const WorkshopConfig &config) {
    started = true; // the settings given win over a file not read yet
    ForgetStopped();
    KsHistoryOnChange(nullptr);
    // A sender or searcher in the middle of connecting can take the connect time-out to stop.
    StopAside(sender);
    StopAside(searcher);
    Start(config);
}

WorkshopSearcher *KsWorkshopSearcher(void) {
    return searcher.get();
}

void KsWorkshopOnAnswer(void (*listener)(const WorkshopAnswer &answer)) {
    answerListener = listener;
}

WorkshopStatus KsWorkshopStatus(void) {
    return sender ? sender->Status() : WorkshopStatus{};
}

void KsWorkshopFinish(void) {
    KsHistoryOnChange(nullptr);
    sender.reset();
    searcher.reset();
    stopping.clear(); // waits for each
}

void KsResetWorkshopState(void) {
    KsWorkshopFinish();
    answerListener = nullptr;
    started = false;
}
