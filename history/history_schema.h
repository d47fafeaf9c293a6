// The schema of the results history and its migrations: what Open runs on a fresh or older file.
// Internal to the history library.
#pragma once

#include <QSqlDatabase>

// Sets the connection's durability (WAL, synchronous=FULL) and brings the schema to
// kHistorySchemaVersion, one migration step at a time, each in its own transaction. *version gets
// the file's version. Returns 0; HISTORY_ERR_READ_ONLY for a file of a newer version (nothing is
// changed); HISTORY_ERR_OPEN when the file cannot be set up (a read-only folder, a full disk).
// With readOnly set nothing is written: a file that is not up to date gives HISTORY_ERR_OPEN,
// except a newer one, which gives HISTORY_ERR_READ_ONLY.
int HistoryPrepareSchema(QSqlDatabase &db, bool readOnly, int *version);
