// Sends a bench's results to the workshop server from a thread of its own, so that the panel
// never waits for the network.
//
// The bench's own history (history/history.h) is the source of truth and the queue: every
// result, and every later change of its entry and notes, carries a revision there, and the
// sender sends each result whose revision the server has not confirmed yet, in the order of
// their local ids, keyed on the server by bench and local id. A retry after a lost answer sends
// the same row again and changes nothing; a server that is down only makes the queue wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "workshop/workshop_config.h"

enum WorkshopState {
    WORKSHOP_OFF = 0,        // no server configured
    WORKSHOP_CONNECTING = 1, // trying to reach the server
    WORKSHOP_SENDING = 2,    // connected, results waiting
    WORKSHOP_UP_TO_DATE = 3, // connected, nothing waiting
    WORKSHOP_FAILING = 4,    // the server cannot be reached or refused; retrying
};

struct WorkshopStatus {
    int state = WORKSHOP_OFF;
    int64_t backlog = 0; // results (or changes) not on the server yet
    int error = 0;       // the WORKSHOP_ERR_... code while failing
    std::string detail;  // the server's words behind it (no password)
};

class WorkshopSender {
  public:
    // The history file to send from (opened by the sender's own connection) and the settings.
    WorkshopSender(std::string historyPath, WorkshopConfig config);
    ~WorkshopSender(); // stops the thread; waits at most for the statement in flight
    WorkshopSender(const WorkshopSender &) = delete;
    WorkshopSender &operator=(const WorkshopSender &) = delete;

    void Start();
    // A result was stored or changed: look for work now rather than at the next retry.
    void Wake();
    WorkshopStatus Status() const;

  private:
    void Run();
    void SetStatus(const WorkshopStatus &status);
    // Waits until woken, stopped or the time is up.
    void Sleep(int milliseconds);

    std::string historyPath_;
    WorkshopConfig config_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stop_ = false;
    WorkshopStatus status_;
};
