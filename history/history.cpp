// The results history store. See history.h.
#include "history/history.h"
#include "history/history_sql.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>

#include <atomic>
#include <string>

#include "history/history_schema.h"
#include "toolbox/core/errors.h"

namespace {

// SQLite's primary result codes that mean the file is not a database we can use.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADb = 26;
// Search terms shorter than the trigram index's grams are matched by a scan.
constexpr int kTrigram = 3;

int PrimaryCode(const QSqlError &error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : 0;
}

bool IsDamaged(const QSqlError &error) {
    const int code = PrimaryCode(error);
    return code == kSqliteCorrupt || code == kSqliteNotADb;
}

QString Q(const std::string &text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QVariant &value) {
    return value.toString().toStdString();
}

// Every connection gets a name of its own, so several stores (and tests) never share one.
QString NewConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("ks_history_%1").arg(counter.fetch_add(1));
}

// The text a search looks through, folded once when the row is written.
std::string SearchText(const HistoryResult &r) {
    return HistorySearchText(r);
}

} // namespace

struct HistoryStore::Impl {
    QString connection;
    std::string path;
    std::string movedAside;
    bool open = false;
    bool readOnly = false;
    int version = 0;
    HistoryHealth health;

    QSqlDatabase Db() const { return QSqlDatabase::database(connection, false); }

    void Drop() {
        if (connection.isEmpty()) return;
        {
            QSqlDatabase db = Db();
            if (db.isOpen()) db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        connection.clear();
        open = false;
    }

    void Fail(int error, const std::string &why) {
        health.ok = false;
        health.error = error;
        health.warning = why;
    }

    bool Exec(QSqlQuery &query, const QString &sql) { return query.exec(sql); }

    // Opens the connection and reads the schema version; -1 when the file is not a database.
    int Connect(bool asReadOnly, QSqlError *error) {
        connection = NewConnectionName();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(Q(path));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                .arg(kHistoryBusyMs)
                .arg(asReadOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
        if (!db.open()) {
            *error = db.lastError();
            return -1;
        }
        QSqlQuery query(db);
        // The first read of the file: a file that is no database fails here.
        if (!query.exec(QStringLiteral("PRAGMA schema_version"))) {
            *error = query.lastError();
            return -1;
        }
        return 0;
    }
};

HistoryStore::HistoryStore() : impl_(std::make_unique<Impl>()) {}

HistoryStore::~HistoryStore() {
    Close();
}

void HistoryStore::Close() {
    impl_->Drop();
}

bool HistoryStore::IsOpen() const {
    return impl_->open;
}

bool HistoryStore::IsReadOnly() const {
    return impl_->readOnly;
}

const std::string &HistoryStore::MovedAside() const {
    return impl_->movedAside;
}

int HistoryStore::SchemaVersion() const {
    return impl_->version;
}

HistoryHealth HistoryStore::Health() const {
    return impl_->health;
}

namespace {

// Renames a damaged file (and its journal files) aside; the new name, or "" when it could not.
std::string MoveAside(const std::string &path) {
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'hhmmss'Z'"));
    QString target = Q(path) + QLatin1String(kHistoryCorruptSuffix) + stamp;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target =
            Q(path) + QLatin1String(kHistoryCorruptSuffix) + stamp + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(Q(path), target)) return "";
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString side = Q(path) + QLatin1String(suffix);
        if (QFileInfo::exists(side)) QFile::rename(side, target + QLatin1String(suffix));
    }
    return target.toStdString();
}

} // namespace

int HistoryStore::Open(const std::string &path, bool readOnly) {
    Impl &d = *impl_;
    Close();
    d.path = path;
    d.movedAside.clear();
    d.readOnly = readOnly;
    d.version = 0;
    if (readOnly && !QFileInfo::exists(Q(path))) {
        d.Fail(HISTORY_ERR_OPEN, "The results history " + path + " does not exist");
        return HISTORY_ERR_OPEN;
    }
    QSqlError error;
    if (d.Connect(readOnly, &error) < 0) {
        d.Drop();
        if (readOnly || !IsDamaged(error)) {
            d.Fail(HISTORY_ERR_OPEN, "The results history " + path +
                                         " cannot be opened: " + error.text().toStdString());
            return HISTORY_ERR_OPEN;
        }
        d.movedAside = MoveAside(path);
        if (d.movedAside.empty() || d.Connect(false, &error) < 0) {
            d.Drop();
            d.Fail(HISTORY_ERR_OPEN, "The results history " + path +
                                         " is damaged and cannot be "
                                         "replaced");
            return HISTORY_ERR_OPEN;
        }
    }
    QSqlDatabase db = d.Db();
    const int result = HistoryPrepareSchema(db, readOnly, &d.version);
    if (result == HISTORY_ERR_READ_ONLY) {
        d.readOnly = true;
        d.open = true;
        d.Fail(HISTORY_ERR_READ_ONLY,
               "The results history " + path + " was written by a newer program: it is read-only");
        return HISTORY_ERR_READ_ONLY;
    }
    if (result < 0) {
        d.Drop();
        d.Fail(HISTORY_ERR_OPEN, "The results history " + path + " cannot be opened or created");
        return HISTORY_ERR_OPEN;
    }
    d.open = true;
    d.health = HistoryHealth{};
    return 0;
}

namespace {

// Column list of the results table in HistoryResult order (local_id first).
const char kColumns[] =
    "local_id, source, shown_utc, utc_offset, program_version, logo0, logo1, info0, info1, info2, "
    "info3, info4, info5, sys24v, in_vehicle, set_point, system, jis_no, bvolt, bcca, brslt, "
    "btype, soc, tcode, ccode, ver, tcomp, b4ach, schrg, sys6v, test_no, ser_no, entry, notes";

// The columns an insert fills: every column but local_id, and the folded search text.
constexpr int kInsertedColumns = 34;

// kColumns, each of the results table "r".
QString QualifiedColumns() {
    QStringList columns = QString::fromLatin1(kColumns).split(QStringLiteral(", "));
    for (QString &column : columns)
        column.prepend(QStringLiteral("r."));
    return columns.join(QStringLiteral(", "));
}

void BindResult(QSqlQuery &q, const HistoryResult &r) {
    q.addBindValue(r.source);
    q.addBindValue(static_cast<qlonglong>(r.shownUtc));
    q.addBindValue(r.utcOffset);
    q.addBindValue(Q(r.programVersion));
    q.addBindValue(Q(r.logo0));
    q.addBindValue(Q(r.logo1));
    for (const auto &line : r.info)
        q.addBindValue(Q(line));
    for (int32_t v : {r.sys24V, r.inVehicle, r.setPoint, r.system})
        q.addBindValue(v);
    q.addBindValue(Q(r.jisNo));
    q.addBindValue(r.bVolt);
    for (int32_t v : {r.bCca, r.bRslt, r.bType, r.soc})
        q.addBindValue(v);
    q.addBindValue(Q(r.tCode));
    q.addBindValue(Q(r.cCode));
    q.addBindValue(Q(r.ver));
    for (int32_t v : {r.tComp, r.b4aCh, r.sChrg, r.sys6V, r.testNo, r.serNo})
        q.addBindValue(v);
    q.addBindValue(Q(r.entry));
    q.addBindValue(Q(r.notes));
    q.addBindValue(Q(SearchText(r)));
}

// The FROM and WHERE clauses of a query and its bound values, in order. The results table is
// "r". A text search walks the trigram index ("f") from the newest row down, so the first page
// of even a common word is found without visiting every match. CROSS JOIN keeps the index as
// the outer loop: with the results table outside, every row would search the index again.
struct Where {
    QString sql;
    QVariantList values;
    QString newestFirst; // the ORDER BY that the plan walks anyway
};

Where BuildWhere(const HistoryQuery &query) {
    QStringList indexed;
    QVariantList indexedValues;
    QString scanned;
    QVariantList scannedValues;
    const QStringList words =
        Q(HistoryFoldText(query.text)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        // The trigram index answers LIKE for a word of three characters or more; it knows no
        // escape character, so a word with a wildcard in it is looked for by a scan.
        if (word.size() >= kTrigram && !word.contains(u'%') && !word.contains(u'_')) {
            indexed << QStringLiteral("f.folded LIKE ?");
            indexedValues << u'%' + word + u'%';
        } else {
            scanned += QStringLiteral(" AND r.folded LIKE ? ESCAPE '\\'");
            scannedValues << HistoryLikePattern(word);
        }
    }
    Where w;
    if (indexed.isEmpty()) {
        w.sql = QStringLiteral(" FROM results r WHERE 1");
        w.newestFirst = QStringLiteral(" ORDER BY r.local_id DESC");
    } else {
        w.sql = QStringLiteral(
                    " FROM results_fts f CROSS JOIN results r ON r.local_id = f.rowid WHERE ") +
                indexed.join(QStringLiteral(" AND "));
        w.values << indexedValues;
        w.newestFirst = QStringLiteral(" ORDER BY f.rowid DESC");
    }
    // Only limits that were given: an open range would lead the planner to the date index, and
    // the newest rows would then be sorted out of all of them.
    if (query.fromUtc != INT64_MIN) {
        w.sql += QStringLiteral(" AND r.shown_utc >= ?");
        w.values << static_cast<qlonglong>(query.fromUtc);
    }
    if (query.toUtc != INT64_MAX) {
        w.sql += QStringLiteral(" AND r.shown_utc < ?");
        w.values << static_cast<qlonglong>(query.toUtc);
    }
    if (!query.plate.empty()) {
        w.sql += QStringLiteral(" AND r.info%1 = ?").arg(kHistoryPlateLine);
        w.values << Q(query.plate);
        // One vehicle's few rows come by the plate index in the order they were shown, so a
        // result typed in later from an old printout takes its place in the vehicle's history.
        w.newestFirst = QStringLiteral(" ORDER BY r.shown_utc DESC, r.local_id DESC");
    }
    w.sql += scanned;
    w.values << scannedValues;
    return w;
}

} // namespace

int64_t HistoryStore::Add(const HistoryResult &result) {
    return AddBatch({result});
}

int64_t HistoryStore::AddBatch(const std::vector<HistoryResult> &results) {
    Impl &d = *impl_;
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    if (d.readOnly) return HISTORY_ERR_READ_ONLY;
    QSqlDatabase db = d.Db();
    const auto fail = [&](const QSqlError &error) {
        d.Fail(HISTORY_ERR_WRITE,
               "The results history cannot be written: " + error.text().toStdString());
        return HISTORY_ERR_WRITE;
    };
    const bool batch = results.size() > 1;
    if (batch && !db.transaction()) return fail(db.lastError());
    QSqlQuery q(db);
    QString marks = QStringLiteral("?");
    for (int i = 0; i < kInsertedColumns - 1; ++i)
        marks += QStringLiteral(",?");
    int64_t first = 0;
    if (!q.prepare(QStringLiteral("INSERT INTO results (%1, folded) VALUES (%2)")
                       .arg(QString::fromLatin1(kColumns).section(u',', 1).trimmed(), marks))) {
        if (batch) db.rollback();
        return fail(q.lastError());
    }
    for (const HistoryResult &result : results) {
        BindResult(q, result);
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            if (batch) db.rollback();
            return fail(error);
        }
        if (first == 0) first = q.lastInsertId().toLongLong();
    }
    if (batch && !db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        return fail(error);
    }
    d.health = HistoryHealth{};
    return first;
}

int HistoryStore::UpdateTexts(int64_t localId, const std::string &entry, const std::string &notes) {
    Impl &d = *impl_;
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    if (d.readOnly) return HISTORY_ERR_READ_ONLY;
    HistoryResult row;
    const int found = Get(localId, &row);
    if (found < 0) return found;
    if (row.entry == entry && row.notes == notes) return 0;
    row.entry = entry;
    row.notes = notes;
    QSqlQuery q(d.Db());
    // A new revision: the workshop server's copy is out of date from here on.
    q.prepare(QStringLiteral("UPDATE results SET entry = ?, notes = ?, folded = ?, "
                             "revision = revision + 1 WHERE local_id = ?"));
    q.addBindValue(Q(entry));
    q.addBindValue(Q(notes));
    q.addBindValue(Q(SearchText(row)));
    q.addBindValue(static_cast<qlonglong>(localId));
    if (!q.exec()) {
        d.Fail(HISTORY_ERR_WRITE,
               "The results history cannot be written: " + q.lastError().text().toStdString());
        return HISTORY_ERR_WRITE;
    }
    d.health = HistoryHealth{};
    return 0;
}

int HistoryStore::PendingForServer(int limit, std::vector<HistoryPending> *rows) {
    Impl &d = *impl_;
    rows->clear();
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    QSqlQuery q(d.Db());
    q.setForwardOnly(true);
    if (!HistoryRunPrepared(
            q,
            QStringLiteral("SELECT %1, revision FROM results WHERE sent_revision < revision "
                           "ORDER BY local_id LIMIT ?")
                .arg(QLatin1String(kColumns)),
            {limit}))
        return HISTORY_ERR_QUERY;
    while (q.next()) {
        HistoryPending pending;
        pending.result = HistoryResultFromQuery(q, 0);
        pending.revision = q.value(QStringLiteral("revision")).toLongLong();
        rows->push_back(std::move(pending));
    }
    return 0;
}

int64_t HistoryStore::PendingForServerCount() {
    Impl &d = *impl_;
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    QSqlQuery q(d.Db());
    if (!HistoryRunPrepared(
            q, QStringLiteral("SELECT count(*) FROM results WHERE sent_revision < revision"), {}) ||
        !q.next())
        return HISTORY_ERR_QUERY;
    return q.value(0).toLongLong();
}

int HistoryStore::MarkSentToServer(const std::vector<std::pair<int64_t, int64_t>> &sent) {
    Impl &d = *impl_;
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    if (d.readOnly) return HISTORY_ERR_READ_ONLY;
    QSqlDatabase db = d.Db();
    if (!db.transaction()) return HISTORY_ERR_WRITE;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "UPDATE results SET sent_revision = max(sent_revision, ?) WHERE local_id = ?"));
    for (const auto &[id, revision] : sent) {
        q.addBindValue(static_cast<qlonglong>(revision));
        q.addBindValue(static_cast<qlonglong>(id));
        if (!q.exec()) {
            db.rollback();
            return HISTORY_ERR_WRITE;
        }
    }
    return db.commit() ? 0 : HISTORY_ERR_WRITE;
}

int HistoryStore::Get(int64_t localId, HistoryResult *result) {
    Impl &d = *impl_;
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    QSqlQuery q(d.Db());
    if (!HistoryRunPrepared(q,
                            QStringLiteral("SELECT %1 FROM results WHERE local_id = ?")
                                .arg(QLatin1String(kColumns)),
                            {static_cast<qlonglong>(localId)}))
        return HISTORY_ERR_QUERY;
    if (!q.next()) return HISTORY_ERR_NOT_FOUND;
    *result = HistoryResultFromQuery(q, 0);
    return 0;
}

int HistoryStore::Search(const HistoryQuery &query, std::vector<HistoryResult> *rows) {
    Impl &d = *impl_;
    rows->clear();
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    const Where w = BuildWhere(query);
    QSqlQuery q(d.Db());
    q.setForwardOnly(true);
    QVariantList values = w.values;
    values << query.limit << query.offset;
    if (!HistoryRunPrepared(q,
                            QStringLiteral("SELECT %1%2%3 LIMIT ? OFFSET ?")
                                .arg(QualifiedColumns(), w.sql, w.newestFirst),
                            values))
        return HISTORY_ERR_QUERY;
    while (q.next())
        rows->push_back(HistoryResultFromQuery(q, 0));
    return 0;
}

int64_t HistoryStore::Count(const HistoryQuery &query, int64_t atMost) {
    Impl &d = *impl_;
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    const Where w = BuildWhere(query);
    QSqlQuery q(d.Db());
    QVariantList values = w.values;
    QString sql = QStringLiteral("SELECT count(*)") + w.sql;
    if (atMost >= 0) {
        sql =
            QStringLiteral("SELECT count(*) FROM (SELECT 1") + w.sql + QStringLiteral(" LIMIT ?)");
        values << static_cast<qlonglong>(atMost);
    }
    if (!HistoryRunPrepared(q, sql, values) || !q.next()) return HISTORY_ERR_QUERY;
    return q.value(0).toLongLong();
}

int HistoryStore::Stats(const HistoryQuery &query, std::vector<HistoryDayCount> *days) {
    Impl &d = *impl_;
    days->clear();
    if (!d.open) return HISTORY_ERR_NOT_OPEN;
    const Where w = BuildWhere(query);
    QSqlQuery q(d.Db());
    q.setForwardOnly(true);
    if (!HistoryRunPrepared(
            q,
            QStringLiteral("SELECT date(r.shown_utc + r.utc_offset, 'unixepoch') AS day, r.brslt, "
                           "count(*)%1 GROUP BY day, r.brslt ORDER BY day, r.brslt")
                .arg(w.sql),
            w.values))
        return HISTORY_ERR_QUERY;
    while (q.next())
        days->push_back({S(q.value(0)), q.value(1).toInt(), q.value(2).toLongLong()});
    return 0;
}
