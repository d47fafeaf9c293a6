#include "workshop/workshop_sender.h"

#include <algorithm>
#include <vector>

#include "history/history.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_server.h"

namespace {

// Results sent per round before the backlog is counted again.
constexpr int kBatch = 200;
// Pauses after a failure: from the first to the longest, doubling.
constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 30000;
// With nothing to do, the queue is looked at again after this long even without a wake-up (a
// result stored by another process on the same history).
constexpr int kIdlePollMs = 30000;

} // namespace

WorkshopSender::WorkshopSender(std::string historyPath, WorkshopConfig config)
    : historyPath_(std::move(historyPath)), config_(std::move(config)) {}

WorkshopSender::~WorkshopSender() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void WorkshopSender::Start() {
    if (thread_.joinable() || !config_.Enabled()) return;
    SetStatus({WORKSHOP_CONNECTING, 0, 0, ""});
    thread_ = std::thread(&WorkshopSender::Run, this);
}

void WorkshopSender::Wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

WorkshopStatus WorkshopSender::Status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

void WorkshopSender::SetStatus(const WorkshopStatus &status) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
}

void WorkshopSender::Sleep(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                   [this] { return woken_ || stop_; });
    woken_ = false;
}

void WorkshopSender::Run() {
    HistoryStore history;
    WorkshopServer server;
    int retryMs = kFirstRetryMs;
    auto stopping = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return stop_;
    };
    auto fail = [&](int code, const std::string &detail, int64_t backlog) {
        SetStatus({WORKSHOP_FAILING, backlog, code, detail});
        server.Disconnect();
        Sleep(retryMs);
        retryMs = std::min(retryMs * 2, kLongestRetryMs);
    };
    while (!stopping()) {
        if (!history.IsOpen() && history.Open(historyPath_) != 0 && !history.IsOpen()) {
            fail(WORKSHOP_ERR_SERVER, "the bench's own history cannot be opened", 0);
            continue;
        }
        const int64_t backlog = std::max<int64_t>(0, history.PendingForServerCount());
        if (!server.Connected()) {
            SetStatus({WORKSHOP_CONNECTING, backlog, 0, ""});
            const int code = server.Connect(config_.connection);
            if (code != 0) {
                fail(code, server.Detail(), backlog);
                continue;
            }
        }
        std::vector<HistoryPending> pending;
        if (history.PendingForServer(kBatch, &pending) != 0) {
            fail(WORKSHOP_ERR_SERVER, "the bench's own history cannot be read", backlog);
            continue;
        }
        if (pending.empty()) {
            retryMs = kFirstRetryMs;
            SetStatus({WORKSHOP_UP_TO_DATE, 0, 0, ""});
            Sleep(kIdlePollMs);
            continue;
        }
        SetStatus({WORKSHOP_SENDING, backlog, 0, ""});
        // What the server confirmed leaves the queue in one transaction per round: a crash
        // before that only sends those rows again, which changes nothing on the server.
        std::vector<std::pair<int64_t, int64_t>> sent;
        int failure = 0;
        for (const HistoryPending &row : pending) {
            if (stopping()) break;
            failure = server.Send(config_.bench, row.revision, row.result);
            // In order: a row the server refuses holds back the ones after it, and the status
            // line says why until it goes in.
            if (failure != 0) break;
            sent.emplace_back(row.result.localId, row.revision);
        }
        if (!sent.empty()) history.MarkSentToServer(sent);
        if (failure != 0)
            fail(failure, server.Detail(), backlog - static_cast<int64_t>(sent.size()));
        else
            retryMs = kFirstRetryMs;
    }
}
