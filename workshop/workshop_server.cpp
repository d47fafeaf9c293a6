#include "workshop/workshop_server.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <atomic>

#include "history/history.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_schema_sql.h"
#include "workshop/workshop_config.h"

namespace {

constexpr char kDriver[] = "QPSQL";

std::string QuoteValue(const std::string &value) {
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

bool Contains(const QString &text, const char *words) {
    return text.contains(QLatin1String(words), Qt::CaseInsensitive);
}

// Sorts a failure by the client library's and the server's words and the SQLSTATE code.
int Classify(const QSqlError &error) {
    const QString text = error.databaseText() + ' ' + error.driverText();
    const QString state = error.nativeErrorCode();
    if (state == "28P01" || state == "28000" || Contains(text, "password authentication") ||
        Contains(text, "no password supplied") || Contains(text, "authentication failed") ||
        Contains(text, "no pg_hba.conf entry") || Contains(text, "role \""))
        return WORKSHOP_ERR_AUTHENTICATION;
    if (state == "3D000" || (Contains(text, "database \"") && Contains(text, "does not exist")))
        return WORKSHOP_ERR_NO_DATABASE;
    if (Contains(text, "SSL") || Contains(text, "certificate") || Contains(text, "TLS"))
        return WORKSHOP_ERR_TLS;
    if (Contains(text, "could not connect") || Contains(text, "Connection refused") ||
        Contains(text, "could not translate host name") || Contains(text, "timeout expired") ||
        Contains(text, "Network is unreachable") || Contains(text, "No route to host") ||
        Contains(text, "server closed the connection") ||
        Contains(text, "terminating connection") || Contains(text, "no connection to the server") ||
        Contains(text, "connection to server"))
        return WORKSHOP_ERR_UNREACHABLE;
    return WORKSHOP_ERR_SERVER;
}

} // namespace

std::string WorkshopConnectOptions(const std::string &connection) {
    std::string options;
    auto add = [&options](const std::string &key, const std::string &value) {
        if (key == "password" || value.empty()) return;
        if (!options.empty()) options += ' ';
        options += key + '=' + QuoteValue(value);
    };
    const QString text = QString::fromStdString(connection).trimmed();
    if (text.startsWith(QLatin1String("postgresql://")) ||
        text.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(text);
        add("host", url.host().toStdString());
        if (url.port() > 0) add("port", std::to_string(url.port()));
        add("user", url.userName().toStdString());
        add("dbname", url.path().mid(1).toStdString());
        for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
            add(key.toStdString(), value.toStdString());
    } else {
        // Already keywords: only the password goes.
        options = WorkshopConnectionForLog(connection);
        const size_t hidden = options.find("********");
        if (hidden != std::string::npos) {
            // Drop "password = ********" whole.
            size_t start = options.rfind("password", hidden);
            options.erase(start, hidden + 8 - start);
        }
    }
    // QPSQL reads ';' as a separator of its own.
    for (char &c : options)
        if (c == ';') c = ' ';
    return options;
}

WorkshopServer::WorkshopServer() {
    static std::atomic<int> next{0};
    name_ = "ks_workshop_" + std::to_string(++next);
}

WorkshopServer::~WorkshopServer() {
    Disconnect();
}

int WorkshopServer::Fail(int code, const std::string &detail) {
    detail_ = WorkshopConnectionForLog(detail);
    return code;
}

int WorkshopServer::Connect(const std::string &connection, int timeoutSeconds) {
    Disconnect();
    detail_.clear();
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        return Fail(WORKSHOP_ERR_SERVER, "Qt's PostgreSQL driver (QPSQL) is not installed");
    QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, QString::fromStdString(name_));
    std::string options = WorkshopConnectOptions(connection);
    if (options.find("connect_timeout") == std::string::npos)
        options += " connect_timeout=" + std::to_string(timeoutSeconds);
    db.setConnectOptions(QString::fromStdString(options));
    if (!db.open()) return Fail(Classify(db.lastError()), db.lastError().text().toStdString());
    return 0;
}

int WorkshopServer::FailQuery(const QSqlError &error) {
    const int code = error.type() == QSqlError::ConnectionError ? Classify(error)
                     // 42501: insufficient privilege, which row-level security also reports.
                     : error.nativeErrorCode() == QLatin1String("42501") ? WORKSHOP_ERR_SCHEMA
                                                                         : Classify(error);
    return Fail(code, error.text().toStdString());
}

int WorkshopServer::CheckSchema() {
    QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name_), false);
    if (!db.isOpen()) return Fail(WORKSHOP_ERR_UNREACHABLE, "not connected");
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM ks_schema")) || !query.next()) {
        const int code = query.lastError().type() == QSqlError::ConnectionError
                             ? Classify(query.lastError())
                             : WORKSHOP_ERR_SCHEMA;
        return Fail(code, query.lastError().text().toStdString());
    }
    detail_.clear();
    return 0;
}

namespace {

// Every column of a result on the server, in the order Send binds them.
constexpr const char *kColumns[] = {
    "bench",      "local_id",        "revision",  "source", "shown_utc",
    "utc_offset", "program_version", "logo0",     "logo1",  "info0",
    "info1",      "info2",           "info3",     "info4",  "info5",
    "sys24v",     "in_vehicle",      "set_point", "system", "jis_no",
    "b_volt",     "b_cca",           "b_rslt",    "b_type", "soc",
    "t_code",     "c_code",          "ver",       "t_comp", "b4a_ch",
    "s_chrg",     "sys6v",           "test_no",   "ser_no", "entry",
    "notes",      "search_folded"};

QString UpsertStatement() {
    QStringList names, values, updates;
    for (const char *column : kColumns) {
        const QString name = QLatin1String(column);
        names << name;
        values << (name == QLatin1String("shown_utc") ? QStringLiteral("to_timestamp(?)")
                                                      : QStringLiteral("?"));
        if (name != QLatin1String("bench") && name != QLatin1String("local_id"))
            updates << name + QStringLiteral(" = EXCLUDED.") + name;
    }
    return QStringLiteral("INSERT INTO ks_results (") + names.join(QLatin1String(", ")) +
           QStringLiteral(") VALUES (") + values.join(QLatin1String(", ")) +
           QStringLiteral(") ON CONFLICT (bench, local_id) DO UPDATE SET ") +
           updates.join(QLatin1String(", ")) +
           QStringLiteral(" WHERE ks_results.revision < EXCLUDED.revision");
}

QString Text(const std::string &text) {
    return QString::fromStdString(text);
}

} // namespace

int WorkshopServer::Send(const std::string &bench, int64_t revision, const HistoryResult &r) {
    QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name_), false);
    if (!db.isOpen()) return Fail(WORKSHOP_ERR_UNREACHABLE, "not connected");
    QSqlQuery query(db);
    // Prepared once per connection by the driver; values are always bound, never spliced in.
    if (!query.prepare(UpsertStatement()))
        return Fail(Classify(query.lastError()), query.lastError().text().toStdString());
    const QVariantList values = {Text(bench),
                                 qlonglong(r.localId),
                                 qlonglong(revision),
                                 r.source,
                                 qlonglong(r.shownUtc),
                                 r.utcOffset,
                                 Text(r.programVersion),
                                 Text(r.logo0),
                                 Text(r.logo1),
                                 Text(r.info[0]),
                                 Text(r.info[1]),
                                 Text(r.info[2]),
                                 Text(r.info[3]),
                                 Text(r.info[4]),
                                 Text(r.info[5]),
                                 r.sys24V,
                                 r.inVehicle,
                                 r.setPoint,
                                 r.system,
                                 Text(r.jisNo),
                                 r.bVolt,
                                 r.bCca,
                                 r.bRslt,
                                 r.bType,
                                 r.soc,
                                 Text(r.tCode),
                                 Text(r.cCode),
                                 Text(r.ver),
                                 r.tComp,
                                 r.b4aCh,
                                 r.sChrg,
                                 r.sys6V,
                                 r.testNo,
                                 r.serNo,
                                 Text(r.entry),
                                 Text(r.notes),
                                 Text(HistorySearchText(r))};
    static_assert(std::size(kColumns) == 37, "one value per column");
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec()) return FailQuery(query.lastError());
    detail_.clear();
    return 0;
}

int WorkshopServer::ApplySchema() {
    QSqlDatabase db = QSqlDatabase::database(QString::fromStdString(name_), false);
    if (!db.isOpen()) return Fail(WORKSHOP_ERR_UNREACHABLE, "not connected");
    QSqlQuery query(db);
    // One script, one round trip: the server runs its statements in its own transaction.
    if (!query.exec(QString::fromUtf8(kWorkshopServerSchemaSql))) {
        const int code = query.lastError().type() == QSqlError::ConnectionError
                             ? Classify(query.lastError())
                             : WORKSHOP_ERR_SERVER;
        return Fail(code, query.lastError().text().toStdString());
    }
    detail_.clear();
    return 0;
}

void WorkshopServer::Disconnect() {
    const QString name = QString::fromStdString(name_);
    if (!QSqlDatabase::contains(name)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

bool WorkshopServer::Connected() const {
    return QSqlDatabase::database(QString::fromStdString(name_), false).isOpen();
}

int WorkshopTestConnection(const std::string &connection, std::string *detail) {
    WorkshopServer server;
    int code = server.Connect(connection);
    if (code == 0) code = server.CheckSchema();
    if (detail) *detail = server.Detail();
    return code;
}
