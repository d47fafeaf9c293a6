// A connection of one bench to the workshop's PostgreSQL server, through Qt SQL's QPSQL driver.
// One object is used from one thread (Qt SQL's connections belong to the thread that made them);
// the bench's sender runs it on a worker thread of its own.
//
// Every failure is one of the WORKSHOP_ERR_... codes of toolbox/core/errors.h, with the server's
// (or the client library's) own words kept as the detail, never holding a password.
#pragma once

#include <cstdint>
#include <string>

struct HistoryResult;

class WorkshopServer {
  public:
    WorkshopServer();
    ~WorkshopServer();
    WorkshopServer(const WorkshopServer &) = delete;
    WorkshopServer &operator=(const WorkshopServer &) = delete;

    // Connects with a connection as workshop.ini gives it (a password in it is ignored: libpq
    // takes it from ~/.pgpass or PGPASSWORD). 0, or WORKSHOP_ERR_UNREACHABLE,
    // WORKSHOP_ERR_AUTHENTICATION, WORKSHOP_ERR_NO_DATABASE, WORKSHOP_ERR_TLS,
    // WORKSHOP_ERR_SERVER.
    int Connect(const std::string &connection);
    // Whether the workshop's tables are there and this role may read them. 0 or
    // WORKSHOP_ERR_SCHEMA (or a connection's code when the connection broke).
    int CheckSchema();
    // Stores one result of this bench on the server, or brings the server's copy up to this
    // revision; a copy of the same or a newer revision already there is left as it is, so a
    // retry changes nothing. 0, or a code (WORKSHOP_ERR_SCHEMA when this role may not write the
    // bench's rows: the bench's name differs from its role's).
    int Send(const std::string &bench, int64_t revision, const HistoryResult &result);
    // Creates the workshop's tables, indexes and roles, or brings them up to date (the schema
    // shipped as workshop/server_schema.sql); run by the database's owner. 0 or a code.
    int ApplySchema();
    void Disconnect();
    bool Connected() const;

    // The words behind the last failure ("" after a success).
    const std::string &Detail() const { return detail_; }

  private:
    int Fail(int code, const std::string &detail);

    std::string name_; // this connection's name in Qt SQL
    std::string detail_;
};

// The connection in the key = value form QPSQL passes on, without any password: a URI
// ("postgresql://user@host:port/dbname?sslmode=...") is turned into keywords.
std::string WorkshopConnectOptions(const std::string &connection);

// Connects, checks the schema and disconnects, for the "Test connection" button: 0 or a code,
// with *detail set to the words behind it.
int WorkshopTestConnection(const std::string &connection, std::string *detail);
