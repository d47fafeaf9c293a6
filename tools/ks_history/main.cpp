// ks_history: the results history from the command line, for scripts and administrators.
//   ks_history [--db FILE] [--server | --local] [--workshop FILE] search TEXT [--from DATE]
//              [--to DATE] [--limit N]
//   ks_history [--db FILE] export --csv FILE [--from DATE] [--to DATE] [--text TEXT]
//   ks_history [--db FILE] stats [--from DATE] [--to DATE]
// The database is never changed. Exit status: 0 done, 1 failure (told on standard error),
// 2 wrong usage.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "history/history.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_config.h"
#include "workshop/workshop_search.h"
#include "workshop/workshop_server.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: ks_history [--db FILE] [--server | --local] [--workshop FILE] search TEXT\n"
    "                  [--from DATE] [--to DATE] [--limit N]\n"
    "       ks_history [--db FILE] export --csv FILE [--from DATE] [--to DATE] [--text TEXT]\n"
    "       ks_history [--db FILE] stats [--from DATE] [--to DATE]\n"
    "       ks_history server-init CONNECTION\n"
    "DATE is YYYY-MM-DD (local time; --to includes that day) or an ISO 8601 date and time.\n"
    "FILE defaults to history.sqlite beside ks_history (the program folder), else to\n"
    "$XDG_DATA_HOME/ks_read/history.sqlite (~/.local/share/ks_read), where an installed\n"
    "ks_read keeps it.\n"
    "search looks through every bench's results on the workshop server when workshop.ini (beside\n"
    "FILE, else in the current folder; or --workshop FILE) gives a ReadConnection and the server\n"
    "answers, else through this bench's own history; it says on standard error which it searched.\n"
    "--server searches the server or fails; --local searches only this bench's history.\n"
    "server-init creates the workshop server's tables and roles (or brings them up to date) in\n"
    "the database CONNECTION names, as libpq takes it (\"host=... dbname=... user=...\", a\n"
    "postgresql:// URI or \"service=NAME\"); run it as the database's owner. The password\n"
    "comes from ~/.pgpass or PGPASSWORD.\n";

// Which history a search looks through.
enum Source {
    SOURCE_AUTO,   // every bench's when a server is configured and answers, else this bench's
    SOURCE_SERVER, // every bench's, or a failure
    SOURCE_LOCAL,  // this bench's
};

struct Options {
    std::string db;
    std::string workshop; // workshop.ini, or "" to look for it
    Source source = SOURCE_AUTO;
    std::string command;
    std::string text;
    std::string csv;
    HistoryQuery query;
    bool textGiven = false;
};

int Usage(const std::string &why) {
    std::fprintf(stderr, "ks_history: %s\n%s", why.c_str(), kUsage);
    return kExitUsage;
}

// Reads the arguments into *o; returns -1 when they are usable, else the exit status of Usage.
int ParseArguments(const std::vector<std::string> &args, Options *o) {
    std::vector<std::string> words;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--server" || a == "--local") {
            const Source source = a == "--server" ? SOURCE_SERVER : SOURCE_LOCAL;
            if (o->source != SOURCE_AUTO && o->source != source)
                return Usage("--server and --local exclude each other");
            o->source = source;
        } else if (a == "--db" || a == "--csv" || a == "--from" || a == "--to" || a == "--limit" ||
                   a == "--text" || a == "--workshop") {
            if (!hasValue) return Usage(a + " needs a value");
            const std::string &value = args[++i];
            if (a == "--db") {
                o->db = value;
            } else if (a == "--workshop") {
                o->workshop = value;
            } else if (a == "--csv") {
                o->csv = value;
            } else if (a == "--text") {
                o->text = value;
                o->textGiven = true;
            } else if (a == "--limit") {
                char *rest = nullptr;
                const long limit = std::strtol(value.c_str(), &rest, 10);
                if (*rest != '\0' || limit < 0 || limit > INT32_MAX)
                    return Usage("--limit needs a number");
                o->query.limit = static_cast<int>(limit);
            } else if (!HistoryParseDate(value, a == "--to",
                                         a == "--from" ? &o->query.fromUtc : &o->query.toUtc)) {
                return Usage("not a date: " + value);
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option " + a);
        } else {
            words.push_back(a);
        }
    }
    if (words.empty()) return Usage("no command given");
    o->command = words[0];
    if (o->command == "search") {
        if (words.size() != 2) return Usage("search takes one TEXT (quote it when it has blanks)");
        o->text = words[1];
    } else if (o->command == "export") {
        if (words.size() != 1) return Usage("export takes no words, only options");
        if (o->csv.empty()) return Usage("export needs --csv FILE");
    } else if (o->command == "stats") {
        if (words.size() != 1) return Usage("stats takes no words, only options");
    } else if (o->command == "server-init") {
        if (words.size() != 2) return Usage("server-init takes one CONNECTION (quote it)");
        o->text = words[1];
    } else {
        return Usage("unknown command " + o->command);
    }
    if (o->command != "export" && (!o->csv.empty() || o->textGiven))
        return Usage("--csv and --text belong to export");
    if (o->command != "search" && (o->source != SOURCE_AUTO || !o->workshop.empty()))
        return Usage("--server, --local and --workshop belong to search");
    return -1;
}

// The rows the options select into *rows; false, after saying so, when they cannot be read.
bool Selected(HistoryStore &store, Options &o, std::vector<HistoryResult> *rows) {
    o.query.text = o.text;
    if (store.Search(o.query, rows) >= 0) return true;
    std::fprintf(stderr, "ks_history: the results could not be read from %s\n", o.db.c_str());
    return false;
}

// The found rows as tab-separated lines; every bench's start with the bench.
void PrintRows(const std::vector<HistoryResult> &rows, const std::vector<std::string> &benches) {
    std::printf("%sshown_at\treference\ttest_code\tplate\tsite\tverdict\tvoltage\trating\t"
                "measured_cca\n",
                benches.empty() ? "" : "bench\t");
    for (size_t i = 0; i < rows.size(); ++i) {
        const HistoryResult &r = rows[i];
        if (i < benches.size()) std::printf("%s\t", benches[i].c_str());
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%.2f\t%d\t%d\n", HistoryIsoTime(r).c_str(),
                    r.entry.c_str(), r.tCode.c_str(), r.info[kHistoryPlateLine].c_str(),
                    r.info[kHistorySiteLine].c_str(), HistoryVerdictText(r.bRslt), r.bVolt,
                    r.setPoint, r.bCca);
    }
    std::fprintf(stderr, "%zu result(s)\n", rows.size());
}

int Search(HistoryStore &store, Options &o) {
    std::vector<HistoryResult> rows;
    if (!Selected(store, o, &rows)) return kExitFailure;
    PrintRows(rows, {});
    return kExitOk;
}

// workshop.ini as the options name it, else beside the history, else in the current folder.
std::string WorkshopFile(const Options &o) {
    if (!o.workshop.empty()) return o.workshop;
    const QString beside =
        QFileInfo(QString::fromStdString(o.db)).absolutePath() + u'/' + kWorkshopFileName;
    return QFileInfo::exists(beside) ? beside.toStdString() : std::string(kWorkshopFileName);
}

// Searches every bench on the workshop server. Returns the exit status when done, or -1 when
// this bench's own history is to be searched instead (after saying why, when a server was meant).
int SearchServer(Options &o) {
    if (o.source == SOURCE_LOCAL) return -1;
    const std::string file = WorkshopFile(o);
    WorkshopConfig config;
    if (const int read = WorkshopReadConfig(file, &config); read < 0) {
        std::fprintf(stderr, "ks_history: %s: %s\n", file.c_str(), GetToolboxErrorString(read));
        return o.source == SOURCE_SERVER ? kExitFailure : -1;
    }
    const std::string connection = WorkshopSearchConnection(config);
    if (connection.empty()) {
        if (o.source != SOURCE_SERVER) return -1;
        std::fprintf(stderr, "ks_history: %s gives no ReadConnection for every bench's results\n",
                     file.c_str());
        return kExitFailure;
    }
    o.query.text = o.text;
    WorkshopServer server;
    std::vector<WorkshopRow> found;
    int code = server.Connect(connection, kWorkshopSearchConnectTimeoutSeconds);
    if (code == 0) code = server.Search(o.query, &found);
    if (code != 0) {
        std::fprintf(stderr, "ks_history: all benches unreachable (%s: %s)\n",
                     GetToolboxErrorString(code), server.Detail().c_str());
        if (o.source == SOURCE_SERVER) return kExitFailure;
        std::fprintf(stderr, "ks_history: searching this bench instead\n");
        return -1;
    }
    std::fprintf(stderr, "searched: all benches (%s)\n",
                 WorkshopConnectionForLog(connection).c_str());
    std::vector<HistoryResult> rows;
    std::vector<std::string> benches;
    for (WorkshopRow &row : found) {
        benches.push_back(row.bench);
        rows.push_back(std::move(row.result));
    }
    PrintRows(rows, benches);
    return kExitOk;
}

int Export(HistoryStore &store, Options &o) {
    std::vector<HistoryResult> rows;
    if (!Selected(store, o, &rows)) return kExitFailure;
    if (HistoryWriteCsv(o.csv, rows) < 0) {
        std::fprintf(stderr, "ks_history: %s cannot be written\n", o.csv.c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "%zu result(s) written to %s\n", rows.size(), o.csv.c_str());
    return kExitOk;
}

int Stats(HistoryStore &store, Options &o) {
    std::vector<HistoryDayCount> days;
    if (store.Stats(o.query, &days) < 0) {
        std::fprintf(stderr, "ks_history: the results could not be read from %s\n", o.db.c_str());
        return kExitFailure;
    }
    std::printf("day\tverdict\tresults\n");
    int64_t total = 0;
    for (const HistoryDayCount &d : days) {
        std::printf("%s\t%s\t%lld\n", d.day.c_str(), HistoryVerdictText(d.bRslt),
                    static_cast<long long>(d.count));
        total += d.count;
    }
    std::printf("total\t\t%lld\n", static_cast<long long>(total));
    return kExitOk;
}

// Beside ks_history (the program folder it was built or copied into); else the folder an
// installed ks_read runs in, which each user has of their own.
std::string DefaultDatabase() {
    const QString beside = QCoreApplication::applicationDirPath() + u'/' + kHistoryFileName;
    if (QFileInfo::exists(beside)) return beside.toStdString();
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const QString base = data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share")
                                        : QString::fromLocal8Bit(data);
    return (base + QStringLiteral("/ks_read/") + kHistoryFileName).toStdString();
}

// Applies the workshop server's schema shipped with the program.
int ServerInit(const std::string &connection) {
    WorkshopServer server;
    int code = server.Connect(connection);
    if (code == 0) code = server.ApplySchema();
    if (code != 0) {
        std::fprintf(stderr, "ks_history: %s: %s\n", GetToolboxErrorString(code),
                     server.Detail().c_str());
        return kExitFailure;
    }
    std::printf("The workshop server's schema is in place (%s).\n",
                WorkshopConnectionForLog(connection).c_str());
    return kExitOk;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    Options o;
    const int usage = ParseArguments(args, &o);
    if (usage >= 0) return usage;
    if (o.command == "server-init") return ServerInit(o.text);
    if (o.db.empty()) o.db = DefaultDatabase();
    if (o.command == "search") {
        if (const int done = SearchServer(o); done >= 0) return done;
    }
    HistoryStore store;
    const int opened = store.Open(o.db, /*readOnly=*/true);
    if (opened == HISTORY_ERR_READ_ONLY) {
        std::fprintf(stderr, "ks_history: note: %s was written by a newer program\n", o.db.c_str());
    } else if (opened < 0) {
        std::fprintf(stderr, "ks_history: %s\n", store.Health().warning.c_str());
        return kExitFailure;
    }
    if (o.command == "search") {
        std::fprintf(stderr, "searched: this bench (%s)\n", o.db.c_str());
        return Search(store, o);
    }
    if (o.command == "export") return Export(store, o);
    return Stats(store, o);
}
