// Searching every bench's results on the workshop server, for the history panel and ks_history:
// which connection reads them, the rows it finds, and a searcher that runs the searches on a
// thread of its own so that the operator never waits for the network.
//
// The server search matches as the bench's own history does (HistoryStore::Search): the words of
// the search text are folded by the client (HistoryFoldText) and compared, each as a part of a
// word, with the folded search text each bench stored beside its result. Every statement is
// prepared; the operator's words only ever travel as bound values.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "history/history.h"
#include "workshop/workshop_config.h"

// One result found on the server and the bench it belongs to (its localId is that bench's).
struct WorkshopRow {
    std::string bench;
    HistoryResult result;
};

// The connection that searches every bench: the ReadConnection (a role of ks_reader), or "" when
// none is set. The bench's own Connection never stands in for it: a role of ks_bench sees only
// its own bench's rows, so its answer would not be every bench's.
std::string WorkshopSearchConnection(const WorkshopConfig &config);

// What one search found.
struct WorkshopAnswer {
    int64_t ticket = 0; // the Submit it answers
    int error = 0;      // 0, or the WORKSHOP_ERR_... code of the failure
    std::string detail; // the server's words behind the failure (no password)
    std::vector<WorkshopRow> rows;
    int64_t count = 0; // rows selected in all, counted up to the cap Submit was given
};

// Runs searches against the server one after another on a thread of its own, connected with a
// short timeout and reconnecting after a failure. A search submitted while another waits replaces
// it: only the newest question is worth an answer.
class WorkshopSearcher {
  public:
    explicit WorkshopSearcher(std::string connection);
    ~WorkshopSearcher(); // waits at most for the search (or connection attempt) in flight
    WorkshopSearcher(const WorkshopSearcher &) = delete;
    WorkshopSearcher &operator=(const WorkshopSearcher &) = delete;

    // Queues a search, counting at most countCap rows (-1: all); returns at once with its ticket
    // (rising from 1).
    int64_t Submit(const HistoryQuery &query, int64_t countCap);
    // The answer of the newest search done since the last call, if any; older answers are gone.
    std::optional<WorkshopAnswer> Take();
    // Waits up to timeoutMs for an answer to the ticket (or a later one), for scripts and tests.
    std::optional<WorkshopAnswer> Wait(int64_t ticket, int timeoutMs);

  private:
    void Run();

    std::string connection_;
    std::mutex mutex_;
    std::condition_variable wake_;     // a search was submitted, or stop
    std::condition_variable answered_; // an answer is there
    std::optional<HistoryQuery> query_;
    int64_t countCap_ = -1;
    int64_t submitted_ = 0;
    std::optional<WorkshopAnswer> answer_;
    bool stop_ = false;
    std::thread thread_;
};
