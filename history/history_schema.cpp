// The schema of the results history and its migrations. See history_schema.h.
#include "history/history_schema.h"

#include <QSqlQuery>

#include <iterator>

#include "history/history.h"
#include "toolbox/core/errors.h"

namespace {

// Version 1: results with every field of the record as values, the folded search text, a
// trigram index over it (it finds any part of a word), kept in step by triggers.
const char *const kVersion1[] = {
    "CREATE TABLE results ("
    " local_id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " source INTEGER NOT NULL, shown_utc INTEGER NOT NULL, utc_offset INTEGER NOT NULL,"
    " program_version TEXT NOT NULL, logo0 TEXT, logo1 TEXT,"
    " info0 TEXT, info1 TEXT, info2 TEXT, info3 TEXT, info4 TEXT, info5 TEXT,"
    " sys24v INTEGER, in_vehicle INTEGER, set_point INTEGER, system INTEGER, jis_no TEXT,"
    " bvolt REAL, bcca INTEGER, brslt INTEGER, btype INTEGER, soc INTEGER,"
    " tcode TEXT, ccode TEXT, ver TEXT, tcomp INTEGER, b4ach INTEGER, schrg INTEGER,"
    " sys6v INTEGER, test_no INTEGER, ser_no INTEGER, entry TEXT NOT NULL DEFAULT '',"
    " notes TEXT NOT NULL DEFAULT '', folded TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX results_shown ON results (shown_utc)",
    "CREATE INDEX results_plate ON results (info4, shown_utc)",
    "CREATE VIRTUAL TABLE results_fts USING fts5 (folded, content='results',"
    " content_rowid='local_id', tokenize='trigram', detail='none')",
    "CREATE TRIGGER results_ai AFTER INSERT ON results BEGIN"
    " INSERT INTO results_fts (rowid, folded) VALUES (new.local_id, new.folded); END",
    "CREATE TRIGGER results_ad AFTER DELETE ON results BEGIN"
    " INSERT INTO results_fts (results_fts, rowid, folded)"
    " VALUES ('delete', old.local_id, old.folded); END",
    "CREATE TRIGGER results_au AFTER UPDATE OF folded ON results BEGIN"
    " INSERT INTO results_fts (results_fts, rowid, folded)"
    " VALUES ('delete', old.local_id, old.folded);"
    " INSERT INTO results_fts (rowid, folded) VALUES (new.local_id, new.folded); END",
};

// Version 2: the workshop server's queue. Each row counts the changes of its entry and notes and
// remembers the last of them the server confirmed; a partial index finds the ones it lacks.
const char *const kVersion2[] = {
    "ALTER TABLE results ADD COLUMN revision INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE results ADD COLUMN sent_revision INTEGER NOT NULL DEFAULT 0",
    "CREATE INDEX results_unsent ON results (local_id) WHERE sent_revision < revision",
};

struct Step {
    const char *const *statements;
    size_t count;
};
// Step n brings a file of version n - 1 to version n. A new step goes at the end; a step once
// released is never changed, since files out there were made by it.
constexpr Step kSteps[] = {
    {kVersion1, std::size(kVersion1)},
    {kVersion2, std::size(kVersion2)},
};
static_assert(std::size(kSteps) == kHistorySchemaVersion, "one migration step per version");

bool Exec(QSqlDatabase &db, const QString &sql) {
    QSqlQuery q(db);
    return q.exec(sql);
}

// The file's version: 0 for a file without the version table (a new file).
int ReadVersion(QSqlDatabase &db, bool *ok) {
    QSqlQuery q(db);
    *ok = true;
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                               "name = 'schema_version'")) ||
        !q.next()) {
        *ok = false;
        return 0;
    }
    if (q.value(0).toInt() == 0) return 0;
    if (!q.exec(QStringLiteral("SELECT max(version) FROM schema_version")) || !q.next()) {
        *ok = false;
        return 0;
    }
    return q.value(0).toInt();
}

bool RunStep(QSqlDatabase &db, int version) {
    if (!db.transaction()) return false;
    bool ok = Exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version "
                                      "INTEGER NOT NULL)"));
    const Step &step = kSteps[version - 1];
    for (size_t i = 0; ok && i < step.count; ++i)
        ok = Exec(db, QString::fromLatin1(step.statements[i]));
    ok = ok && Exec(db, QStringLiteral("DELETE FROM schema_version")) &&
         Exec(db, QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(version));
    if (ok) return db.commit();
    db.rollback();
    return false;
}

} // namespace

int HistoryPrepareSchema(QSqlDatabase &db, bool readOnly, int *version) {
    bool ok = false;
    *version = ReadVersion(db, &ok);
    if (!ok) return HISTORY_ERR_OPEN;
    if (*version > kHistorySchemaVersion) return HISTORY_ERR_READ_ONLY;
    if (readOnly) return *version == kHistorySchemaVersion ? 0 : HISTORY_ERR_OPEN;
    // WAL: a writer never blocks the readers (the history panel, ks_history), and with
    // synchronous=FULL each commit is on disk before it returns.
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() ||
            q.value(0).toString() != QStringLiteral("wal"))
            return HISTORY_ERR_OPEN;
    }
    if (!Exec(db, QStringLiteral("PRAGMA synchronous=FULL"))) return HISTORY_ERR_OPEN;
    for (int step = *version + 1; step <= kHistorySchemaVersion; ++step) {
        if (!RunStep(db, step)) return HISTORY_ERR_OPEN;
        *version = step;
    }
    return 0;
}
