// The all-benches search on the workshop server. See workshop_search.h.
#include "workshop/workshop_search.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <chrono>
#include <utility>

#include "history/history_sql.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_server.h"

namespace {

// Milliseconds the server may spend on one search before giving up on it: a search nobody waits
// for any more must not hold the searcher.
constexpr int kStatementTimeoutMs = 5000;

// The columns a found row is read from, in the order ReadRow takes them.
constexpr char kColumns[] =
    "bench, local_id, source, extract(epoch FROM shown_utc)::bigint, utc_offset, program_version, "
    "logo0, logo1, info0, info1, info2, info3, info4, info5, sys24v, in_vehicle, set_point, "
    "system, jis_no, b_volt, b_cca, b_rslt, b_type, soc, t_code, c_code, ver, t_comp, b4a_ch, "
    "s_chrg, sys6v, test_no, ser_no, entry, notes";

std::string S(const QVariant &value) {
    return value.toString().toStdString();
}

WorkshopRow ReadRow(const QSqlQuery &q) {
    WorkshopRow row;
    row.bench = S(q.value(0));
    row.result = HistoryResultFromQuery(q, 1);
    return row;
}

// The FROM and WHERE clauses of a query, made of fixed pieces only, and the values they bind.
struct Where {
    QString sql;
    QVariantList values;
};

Where BuildWhere(const HistoryQuery &query) {
    Where w{QStringLiteral(" FROM ks_results WHERE true"), {}};
    const QStringList words = QString::fromStdString(HistoryFoldText(query.text))
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        w.sql += QStringLiteral(" AND search_folded LIKE ? ESCAPE '\\'");
        w.values << HistoryLikePattern(word);
    }
    if (query.fromUtc != INT64_MIN) {
        w.sql += QStringLiteral(" AND shown_utc >= to_timestamp(?)");
        w.values << static_cast<qlonglong>(query.fromUtc);
    }
    if (query.toUtc != INT64_MAX) {
        w.sql += QStringLiteral(" AND shown_utc < to_timestamp(?)");
        w.values << static_cast<qlonglong>(query.toUtc);
    }
    if (!query.plate.empty()) {
        w.sql += QStringLiteral(" AND info%1 = ?").arg(kHistoryPlateLine);
        w.values << QString::fromStdString(query.plate);
    }
    return w;
}

} // namespace

std::string WorkshopSearchConnection(const WorkshopConfig &config) {
    return config.readConnection;
}

int WorkshopServer::Search(const HistoryQuery &query, std::vector<WorkshopRow> *rows) {
    rows->clear();
    QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name_), false);
    if (!db.isOpen()) return Fail(WORKSHOP_ERR_UNREACHABLE, "not connected");
    const Where w = BuildWhere(query);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QVariantList values = w.values;
    values << static_cast<qlonglong>(query.limit < 0 ? INT64_MAX : query.limit)
           << static_cast<qlonglong>(query.offset);
    // Newest first across benches; a bench and its ids break ties, so pages never overlap.
    if (!HistoryRunPrepared(
            q,
            QStringLiteral("SELECT ") + QLatin1String(kColumns) + w.sql +
                QStringLiteral(" ORDER BY shown_utc DESC, bench, local_id DESC LIMIT ? OFFSET ?"),
            values))
        return FailQuery(q.lastError());
    while (q.next())
        rows->push_back(ReadRow(q));
    detail_.clear();
    return 0;
}

int64_t WorkshopServer::Count(const HistoryQuery &query, int64_t atMost) {
    QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name_), false);
    if (!db.isOpen()) return Fail(WORKSHOP_ERR_UNREACHABLE, "not connected");
    const Where w = BuildWhere(query);
    QSqlQuery q(db);
    QVariantList values = w.values;
    values << static_cast<qlonglong>(atMost < 0 ? INT64_MAX : atMost);
    if (!HistoryRunPrepared(q,
                            QStringLiteral("SELECT count(*) FROM (SELECT 1") + w.sql +
                                QStringLiteral(" LIMIT ?) AS found"),
                            values) ||
        !q.next())
        return FailQuery(q.lastError());
    detail_.clear();
    return q.value(0).toLongLong();
}

WorkshopSearcher::WorkshopSearcher(std::string connection)
    : connection_(std::move(connection)), thread_([this] { Run(); }) {}

WorkshopSearcher::~WorkshopSearcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

int64_t WorkshopSearcher::Submit(const HistoryQuery &query, int64_t countCap) {
    int64_t ticket = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        query_ = query;
        countCap_ = countCap;
        ticket = ++submitted_;
    }
    wake_.notify_all();
    return ticket;
}

std::optional<WorkshopAnswer> WorkshopSearcher::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<WorkshopAnswer> answer = std::move(answer_);
    answer_.reset();
    return answer;
}

std::optional<WorkshopAnswer> WorkshopSearcher::Wait(int64_t ticket, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    answered_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return answer_ && answer_->ticket >= ticket; });
    if (!answer_ || answer_->ticket < ticket) return std::nullopt;
    std::optional<WorkshopAnswer> answer = std::move(answer_);
    answer_.reset();
    return answer;
}

namespace {

// One search on a server connected as needed; a connection the server dropped since the last
// search (a restart) is made again once before the search counts as failed.
void Ask(WorkshopServer &server, const std::string &connection, const HistoryQuery &query,
         int64_t countCap, WorkshopAnswer *answer) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool fresh = !server.Connected();
        if (fresh) {
            std::string options = WorkshopConnectOptions(connection);
            if (options.find("options") == std::string::npos)
                options +=
                    " options='-c statement_timeout=" + std::to_string(kStatementTimeoutMs) + "'";
            answer->error = server.Connect(options, kWorkshopSearchConnectTimeoutSeconds);
        }
        if (answer->error == 0) answer->error = server.Search(query, &answer->rows);
        if (answer->error == 0) {
            answer->count = server.Count(query, countCap);
            if (answer->count < 0) answer->error = static_cast<int>(answer->count);
        }
        answer->detail = server.Detail();
        if (answer->error == 0) return;
        answer->rows.clear();
        answer->count = 0;
        const bool lost = answer->error == WORKSHOP_ERR_UNREACHABLE;
        if (lost || fresh) server.Disconnect();
        if (!lost || fresh) return;
    }
}

} // namespace

void WorkshopSearcher::Run() {
    // Qt SQL's connections belong to the thread that made them: this one lives and dies here.
    WorkshopServer server;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || query_.has_value(); });
        if (stop_) return;
        const HistoryQuery query = *query_;
        query_.reset();
        const int64_t cap = countCap_;
        WorkshopAnswer answer;
        answer.ticket = submitted_;
        lock.unlock();
        Ask(server, connection_, query, cap, &answer);
        lock.lock();
        answer_ = std::move(answer);
        answered_.notify_all();
    }
}
