// The bench's link to the workshop server. See ks_workshop.h.
#include "app/ks_workshop.h"

#include <memory>
#include <optional>
#include <string>

#include "app/ks_hist.h"
#include "workshop/workshop_config.h"

namespace {

std::unique_ptr<WorkshopSender> sender;
std::unique_ptr<WorkshopSearcher> searcher;
void (*answerListener)(const WorkshopAnswer &) = nullptr;
bool started = false;

void WakeSender() {
    if (sender) sender->Wake();
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
    if (const std::string reading = WorkshopSearchConnection(config); !reading.empty())
        searcher = std::make_unique<WorkshopSearcher>(reading);
    if (!config.Enabled()) return;
    const std::string history = KsHistoryPath();
    if (history.empty()) return;
    sender = std::make_unique<WorkshopSender>(history, config);
    KsHistoryOnChange(WakeSender);
    sender->Start();
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
}

void KsResetWorkshopState(void) {
    KsWorkshopFinish();
    answerListener = nullptr;
    started = false;
}
