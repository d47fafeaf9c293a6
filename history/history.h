// The results history: every result the program showed, kept in an SQLite database (Qt SQL's
// QSQLITE driver) so it can be found again, reopened, reprinted and exported.
//
// A result is one row: every field of the tester's record as values (never ring labels, so the
// history reads the same in every language), where it came from, when it was shown (UTC and the
// local offset), the program version, and the operator's entry and notes. Each row has a local
// id that never changes and is never reused, so another store (a workshop server) can key a copy
// of it by bench and local id.
//
// Durability: the database runs in WAL mode with synchronous=FULL, so a result Add returned for
// is on disk; a process killed at any moment loses no such result and leaves no half row.
//
// Usage:
//   HistoryStore store;
//   store.Open(dir + "/" + kHistoryFileName);        // 0, or a negative HISTORY_ERR_... code
//   int64_t id = store.Add(result);                   // the new local id, or a negative code
//   store.UpdateTexts(id, entry, notes);
//   store.Search(query, &rows);
//
// One store is used from one thread. Several processes may open the same file (the program and
// ks_history); SQLite's locking keeps them apart, a writer waits up to kHistoryBusyMs for another.
// Error codes are the HISTORY_ERR_... values of toolbox/core/errors.h.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

constexpr char kHistoryFileName[] = "history.sqlite"; // in the program folder, beside the log
// A damaged file is renamed to "<file><suffix><UTC yyyyMMddThhmmssZ>" and a new one started.
constexpr char kHistoryCorruptSuffix[] = ".corrupt-";
// The schema this code writes; a file of a higher version is opened to read only.
constexpr int kHistorySchemaVersion = 2;
// How long a write waits for another process that holds the database.
constexpr int kHistoryBusyMs = 2000;
// The tester's information lines: which one names the vehicle and which the site.
constexpr int kHistoryPlateLine = 4;
constexpr int kHistorySiteLine = 5;
constexpr int kHistoryInfoLines = 6;

enum HistorySource {
    HISTORY_SOURCE_TESTER = 0, // received from the tester
    HISTORY_SOURCE_TYPED = 1,  // decoded from a test code the operator typed
};

// One result, with every field of the tester's record.
struct HistoryResult {
    int64_t localId = 0; // set by Add; 0 for a result not stored yet
    int source = HISTORY_SOURCE_TESTER;
    int64_t shownUtc = 0;  // seconds since 1970-01-01 UTC
    int32_t utcOffset = 0; // seconds east of UTC in force where and when it was shown
    std::string programVersion;
    std::string logo0, logo1;
    std::array<std::string, kHistoryInfoLines> info;
    int32_t sys24V = 0, inVehicle = 0, setPoint = 0, system = 0;
    std::string jisNo;
    double bVolt = 0.0;
    int32_t bCca = 0, bRslt = 0, bType = 0, soc = 0;
    std::string tCode, cCode, ver;
    int32_t tComp = 0, b4aCh = 0, sChrg = 0, sys6V = 0, testNo = 0, serNo = 0;
    std::string entry, notes; // typed by the operator after the result is shown
};

// A result the workshop server has not confirmed yet, at the revision to send (the revision
// rises each time the operator's entry or notes change).
struct HistoryPending {
    HistoryResult result;
    int64_t revision = 1;
};

// Which rows Search and Count look at. Every condition given must hold.
struct HistoryQuery {
    // Words that must each appear, anywhere, in the entry, the test code, an information line or
    // the notes: any part of a word, without regard to case or accents ("mull" finds "Müller").
    std::string text;
    int64_t fromUtc = INT64_MIN; // shown at or after
    int64_t toUtc = INT64_MAX;   // shown before
    std::string plate;           // exactly this vehicle line (kHistoryPlateLine), when not empty
    int limit = -1;              // most rows returned; -1 for all
    int offset = 0;
};

// Results per day and verdict, for the statistics of ks_history.
struct HistoryDayCount {
    std::string day; // local date of the result, "YYYY-MM-DD"
    int32_t bRslt = 0;
    int64_t count = 0;
};

// What the status line shows about the history.
struct HistoryHealth {
    bool ok = true;
    std::string warning; // in English, for logs and scripts; empty when ok
    int error = 0;       // the HISTORY_ERR_... code behind the warning
};

class HistoryStore {
  public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens the database at path, creating it (and its schema) when it does not exist and
    // bringing an older schema up to date. A file SQLite cannot read as a database (or that fails
    // its quick check) is renamed aside (kHistoryCorruptSuffix) and a new one started; MovedAside
    // then names it. Returns 0 when open for writing; HISTORY_ERR_READ_ONLY when a newer program
    // wrote it (it is open, to read only); HISTORY_ERR_OPEN when it cannot be opened or created
    // (a read-only or full folder): nothing is open then, and Open may be called again later.
    // With readOnly set the file is never created, changed or moved (ks_history's searches).
    int Open(const std::string &path, bool readOnly = false);
    void Close();
    bool IsOpen() const;
    bool IsReadOnly() const;
    // The path a damaged file was renamed to by the last Open, or "".
    const std::string &MovedAside() const;
    // The schema version of the open file (kHistorySchemaVersion after a successful Open for
    // writing; the file's own when it is newer).
    int SchemaVersion() const;

    // Stores a result, durably, and returns its new local id (> 0); HISTORY_ERR_WRITE,
    // HISTORY_ERR_READ_ONLY or HISTORY_ERR_NOT_OPEN when it could not be stored.
    int64_t Add(const HistoryResult &result);
    // Stores several results in one transaction (all or none), as durably as Add; their ids are
    // consecutive, the first returned. For imports and the benchmark's generator.
    int64_t AddBatch(const std::vector<HistoryResult> &results);
    // Replaces the entry and notes of a stored result. 0, HISTORY_ERR_NOT_FOUND, or a code above.
    int UpdateTexts(int64_t localId, const std::string &entry, const std::string &notes);

    // The result of that id into *result: 0, HISTORY_ERR_NOT_FOUND, HISTORY_ERR_QUERY.
    int Get(int64_t localId, HistoryResult *result);
    // The rows the query selects, newest first (in the order they were stored, which is the
    // order they were shown; one plate's rows by the time they were shown), into *rows
    // (replaced). 0 or HISTORY_ERR_QUERY.
    int Search(const HistoryQuery &query, std::vector<HistoryResult> *rows);
    // How many rows the query selects (limit and offset ignored), or HISTORY_ERR_QUERY. With
    // atMost >= 0 the counting stops there: a common word's count then costs no more than
    // finding that many rows (the panel counts on every keystroke).
    int64_t Count(const HistoryQuery &query, int64_t atMost = -1);
    // Results per local day and verdict within the query's dates, oldest day first.
    int Stats(const HistoryQuery &query, std::vector<HistoryDayCount> *days);

    // The workshop server's queue: results (or changes) the server has not confirmed, oldest
    // local id first, at most limit of them. 0 or HISTORY_ERR_QUERY.
    int PendingForServer(int limit, std::vector<HistoryPending> *rows);
    // How many results wait for the server, or a negative code.
    int64_t PendingForServerCount();
    // The server has these (local id, revision) pairs: they leave the queue unless changed since.
    // All in one transaction. 0, or a code above.
    int MarkSentToServer(const std::vector<std::pair<int64_t, int64_t>> &sent);

    // Whether the last write went in; a warning (and its code) once one failed. A write that goes
    // in again clears it.
    HistoryHealth Health() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The folded text a search looks through for a result: its entry, test code, information lines
// and notes (what the workshop server's search compares too).
std::string HistorySearchText(const HistoryResult &result);

// Folds a text for searching: accents dropped, case folded (what Search compares).
std::string HistoryFoldText(const std::string &text);

// The rows as CSV (RFC 4180, UTF-8, CRLF line ends): one English header line, then one line per
// result with its own local date and time in ISO 8601 (with its offset) and numbers with a point.
std::string HistoryCsv(const std::vector<HistoryResult> &rows);
// Writes HistoryCsv(rows) to path. 0, or HISTORY_ERR_WRITE.
int HistoryWriteCsv(const std::string &path, const std::vector<HistoryResult> &rows);
// The verdict of a result value in English ("good battery" ...), "no result" outside 0 .. 7.
const char *HistoryVerdictText(int32_t bRslt);
// The seconds since 1970 of a local date "YYYY-MM-DD" (its first second, or with `end` set the
// first second of the next day, so that a range "to" a date includes it) or of an ISO 8601 date
// and time. false (and *utc unchanged) when the text is neither.
bool HistoryParseDate(const std::string &text, bool end, int64_t *utc);
// The local date and time a result was shown at in ISO 8601, "2026-12-07T21:49:09+01:00".
std::string HistoryIsoTime(const HistoryResult &result);
