// The workshop server's settings of one bench: its name and how to reach the PostgreSQL server,
// kept in "workshop.ini" beside ks.ini and read and written with the INI library. Without the
// file (or with an empty connection) the bench keeps its results only in its own history.
//
// The connection is given the way PostgreSQL's own tools take it: a libpq connection string
// ("host=db.example port=5432 dbname=workshop user=bench1 sslmode=verify-full"), a URI
// ("postgresql://bench1@db.example/workshop?sslmode=verify-full") or a service name from
// pg_service.conf ("service=workshop"). The password is never stored here: libpq takes it from
// ~/.pgpass or PGPASSWORD. Error codes are the WORKSHOP_ERR_... values of toolbox/core/errors.h.
#pragma once

#include <string>

constexpr char kWorkshopFileName[] = "workshop.ini";
constexpr char kWorkshopSection[] = "Workshop";

struct WorkshopConfig {
    std::string bench;          // the bench's name: its rows on the server carry it
    std::string connection;     // how this bench writes its results (a role of ks_bench)
    std::string readConnection; // how it searches every bench (a role of ks_reader); optional
    bool Enabled() const { return !bench.empty() && !connection.empty(); }
};

// Reads path into *config. A missing file is no server (0, an empty config); a file that cannot
// be read gives WORKSHOP_ERR_CONFIG and an empty config.
int WorkshopReadConfig(const std::string &path, WorkshopConfig *config);
// Writes config to path (replacing it whole). WORKSHOP_ERR_PASSWORD_GIVEN when a connection holds
// a password (nothing is written), WORKSHOP_ERR_CONFIG when the file cannot be written.
int WorkshopWriteConfig(const std::string &path, const WorkshopConfig &config);

// Whether a connection string or URI holds a password.
bool WorkshopConnectionHasPassword(const std::string &connection);
// The connection with any password replaced by "********", for messages and logs.
std::string WorkshopConnectionForLog(const std::string &connection);
