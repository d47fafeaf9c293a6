// The bench's link to the workshop server. See ks_workshop.h.
#include "app/ks_workshop.h"

#include <memory>

#include "app/ks_hist.h"
#include "workshop/workshop_config.h"

namespace {

std::unique_ptr<WorkshopSender> sender;
bool started = false;

void WakeSender() {
    if (sender) sender->Wake();
}

} // namespace

void KsWorkshopIdle(void) {
    if (started) return;
    started = true;
    WorkshopConfig config;
    // Beside ks.ini, which lies in the current directory.
    if (WorkshopReadConfig(kWorkshopFileName, &config) != 0 || !config.Enabled()) return;
    const std::string history = KsHistoryPath();
    if (history.empty()) return;
    sender = std::make_unique<WorkshopSender>(history, config);
    KsHistoryOnChange(WakeSender);
    sender->Start();
}

WorkshopStatus KsWorkshopStatus(void) {
    return sender ? sender->Status() : WorkshopStatus{};
}

void KsWorkshopFinish(void) {
    KsHistoryOnChange(nullptr);
    sender.reset();
}

void KsResetWorkshopState(void) {
    KsWorkshopFinish();
    started = false;
}
