// The bench's link to the workshop server. See ks_workshop.h.
#include "app/ks_workshop.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "app/ks_hist.h"

namespace {

std::unique_ptr<WorkshopSender> sender;
bool started = false;
// Replaced senders finishing their statement in flight, each on a thread of its own.
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

void StartSender(const WorkshopConfig &config) {
    if (!config.Enabled()) return;
    const std::string history = KsHistoryPath();
    if (history.empty()) return;
    sender = std::make_unique<WorkshopSender>(history, config);
    KsHistoryOnChange(WakeSender);
    sender->Start();
}

} // namespace

void KsWorkshopIdle(void) {
    if (started) return;
    started = true;
    WorkshopConfig config;
    // Beside ks.ini, which lies in the current directory.
    if (WorkshopReadConfig(kWorkshopFileName, &config) != 0) return;
    StartSender(config);
}

void KsWorkshopRestart(const WorkshopConfig &config) {
    started = true; // the settings given win over a file not read yet
    ForgetStopped();
    if (sender) {
        KsHistoryOnChange(nullptr);
        // A sender in the middle of connecting can take the connect time-out to stop.
        stopping.push_back(
            std::async(std::launch::async, [old = std::move(sender)]() mutable { old.reset(); }));
    }
    StartSender(config);
}

WorkshopStatus KsWorkshopStatus(void) {
    return sender ? sender->Status() : WorkshopStatus{};
}

void KsWorkshopFinish(void) {
    KsHistoryOnChange(nullptr);
    sender.reset();
    stopping.clear(); // waits for each
}

void KsResetWorkshopState(void) {
    KsWorkshopFinish();
    started = false;
}
