// A connection of one bench to the workshop's PostgreSQL server, through Qt SQL's QPSQL driver.
// One object is used from one thread (Qt SQL's connections belong to the thread that made them);
// the bench's sender runs it on a worker thread of its own.
//
// Every failure is one of the WORKSHOP_ERR_... codes of toolbox/core/errors.h, with the server's
// (or the client library's) own words kept as the detail, never holding a password.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QSqlError;
struct HistoryResult;
struct HistoryQuery;
struct WorkshopRow;

// Seconds a connection attempt may take before the host counts as unreachable: the sender's, and
// the all-benches search's, which an operator waits for.
constexpr int kWorkshopConnectTimeoutSeconds = 10;
constexpr int kWorkshopSearchConnectTimeoutSeconds = 3;

class WorkshopServer {
  public:
    WorkshopServer();
    ~WorkshopServer();
    WorkshopServer(const WorkshopServer &) = delete;
    WorkshopServer &operator=(const WorkshopServer &) = delete;

    // Connects with a connection as workshop.ini gives it (a password in it is ignored: libpq
    // takes it from ~/.pgpass or PGPASSWORD). 0, or WORKSHOP_ERR_UNREACHABLE,
    // WORKSHOP_ERR_AUTHENTICATION, WORKSHOP_ERR_NO_DATABASE, WORKSHOP_ERR_TLS,
    // WORKSHOP_ERR_SERVER. A connect_timeout in the connection wins over timeoutSeconds.
    int Connect(const std::string &connection, int timeoutSeconds = kWorkshopConnectTimeoutSeconds);
    // Whether the workshop's tables are there and this role may read them. 0 or
    // WORKSHOP_ERR_SCHEMA (or a connection's code when the connection broke).
    int CheckSchema();
    // Stores one result of this bench on the server, or brings the server's copy up to this
    // revision; a copy of the same or a newer revision already there is left as it is, so a
    // retry changes nothing. 0, or a code (WORKSHOP_ERR_SCHEMA when this role may not write the
    // bench's rows: the bench's name differs from its role's).
    int Send(const std::string &bench, int64_t revision, const HistoryResult &result);
    // The rows of every bench this role may read that the query selects, newest first (by the
    // time they were shown), into *rows (replaced): the same matching as HistoryStore::Search
    // (every folded word a part of the folded search text; dates; plate; limit and offset).
    // Defined in workshop_search.cpp. 0 or a code.
    int Search(const HistoryQuery &query, std::vector<WorkshopRow> *rows);
    // How many rows the query selects, counting stops at atMost when it is >= 0, as
    // HistoryStore::Count. The count, or a negative code.
    int64_t Count(const HistoryQuery &query, int64_t atMost = -1);
    // Creates the workshop's tables, indexes and roles, or brings them up to date (the schema
    // shipped as workshop/server_schema.sql); run by the database's owner. 0 or a code.
    int ApplySchema();
    void Disconnect();
    bool Connected() const;

    // The words behind the last failure ("" after a success).
    const std::string &Detail() const { return detail_; }

  private:
    int Fail(int code, const std::string &detail);
    // Fail with the code a failed statement of this connection stands for.
    int FailQuery(const QSqlError &error);

    std::string name_; // this connection's name in Qt SQL
    std::string detail_;
};

// The connection in the key = value form QPSQL passes on, without any password: a URI
// ("postgresql://user@host:port/dbname?sslmode=...") is turned into keywords.
std::string WorkshopConnectOptions(const std::string &connection);

// Connects, checks the schema and disconnects, for the "Test connection" button: 0 or a code,
// with *detail set to the words behind it.
int WorkshopTestConnection(const std::string &connection, std::string *detail);
