// The search of every bench on a real PostgreSQL server: it matches as a bench's own history
// does, the operator's words are only ever values, a bench's role finds only its own rows, the
// searcher never makes its caller wait, and ks_history says which history it searched.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "history/history.h"
#include "tests/support/command.h"
#include "tests/support/paths.h"
#include "tests/support/pg_cluster.h"
#include "tests/support/qt_core_environment.h"
#include "tests/support/temp_dir.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_config.h"
#include "workshop/workshop_search.h"
#include "workshop/workshop_server.h"

using ks_test::PgCluster;

namespace {

const auto *const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);

constexpr char kDatabase[] = "workshop";
constexpr int kAnswerMs = 30000; // a searcher's answer, however slow the machine
const std::string kInjection = "'; DROP TABLE ks_results; --";

HistoryResult Result(int64_t id, int minute, const std::string &entry, const std::string &notes,
                     const std::string &plate) {
    HistoryResult r;
    r.localId = id;
    r.shownUtc = 1796000000 + minute * 60;
    r.utcOffset = 3600;
    r.info = {"BT-SIM 500", "SW 2", "", "", plate, "Hall B"};
    r.setPoint = 500;
    r.bCca = 400;
    r.bVolt = 12.5;
    r.tCode = "3E225891";
    r.entry = entry;
    r.notes = notes;
    return r;
}

// Each bench's rows, in the order of their minutes (bench1 even, bench2 odd).
const std::vector<std::pair<std::string, HistoryResult>> &Rows() {
    static const std::vector<std::pair<std::string, HistoryResult>> rows = {
        {"bench1", Result(1, 0, "Müller", "Kunde wartet", "KX-042")},
        {"bench2", Result(1, 1, "MULLER-2", "", "ZT-777")},
        {"bench1", Result(2, 2, "REF 50% off", "noch_mal", "KX-042")},
        {"bench2", Result(2, 3, "Ørsted", "50 A", "AB-100")},
        {"bench1", Result(3, 4, "back\\slash", kInjection, "KX-042")},
        {"bench2", Result(3, 5, "Façade", "x' OR '1'='1", "ZT-777")},
    };
    return rows;
}

class Search : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!PgCluster::Available()) return;
        cluster = std::make_unique<PgCluster>();
        cluster->MakeWorkshopDatabase(kDatabase);
        for (const char *bench : {"bench1", "bench2"})
            cluster->MakeLoginRole(bench, "pw", "ks_bench", kDatabase);
        cluster->MakeLoginRole("office", "pw", "ks_reader", kDatabase);
        setenv("PGPASSWORD", "pw", 1);
        for (const auto &[bench, result] : Rows()) {
            WorkshopServer server;
            ASSERT_EQ(server.Connect(Connection(bench)), 0) << server.Detail();
            ASSERT_EQ(server.Send(bench, 1, result), 0) << server.Detail();
        }
    }
    static void TearDownTestSuite() {
        cluster.reset();
        unsetenv("PGPASSWORD");
    }
    void SetUp() override {
        if (!PgCluster::Available())
            GTEST_SKIP() << "the PostgreSQL server is not installed (scripts/install-deps)";
        ASSERT_TRUE(cluster) << "the private server did not start";
        if (!cluster->Running()) cluster->Start();
        setenv("PGPASSWORD", "pw", 1);
    }

    static std::string Connection(const std::string &role) {
        return "host=127.0.0.1 port=" + std::to_string(cluster->Port()) +
               " dbname=workshop user=" + role;
    }

    // "bench:entry" of each row the role finds, in the order found.
    static std::vector<std::string> Found(const std::string &role, const HistoryQuery &query) {
        WorkshopServer server;
        EXPECT_EQ(server.Connect(Connection(role)), 0) << server.Detail();
        std::vector<WorkshopRow> rows;
        EXPECT_EQ(server.Search(query, &rows), 0) << server.Detail();
        std::vector<std::string> found;
        for (const WorkshopRow &row : rows)
            found.push_back(row.bench + ":" + row.result.entry);
        return found;
    }
    static std::vector<std::string> Found(const std::string &role, const std::string &text) {
        HistoryQuery query;
        query.text = text;
        return Found(role, query);
    }

    static std::unique_ptr<PgCluster> cluster;
};

std::unique_ptr<PgCluster> Search::cluster;

using Names = std::vector<std::string>;

TEST_F(Search, EveryBenchIsFoundNewestFirstWithItsBench) {
    EXPECT_EQ(Found("office", ""),
              (Names{"bench2:Façade", "bench1:back\\slash", "bench2:Ørsted", "bench1:REF 50% off",
                     "bench2:MULLER-2", "bench1:Müller"}));
    // Any part of a word, without regard to case or accents, every word.
    EXPECT_EQ(Found("office", "mull"), (Names{"bench2:MULLER-2", "bench1:Müller"}));
    EXPECT_EQ(Found("office", "FACADE"), (Names{"bench2:Façade"}));
    EXPECT_EQ(Found("office", "kunde mül"), (Names{"bench1:Müller"}));
    EXPECT_EQ(Found("office", "kunde zz"), Names{});

    HistoryQuery query;
    query.fromUtc = 1796000000 + 60;
    query.toUtc = 1796000000 + 4 * 60;
    EXPECT_EQ(Found("office", query),
              (Names{"bench2:Ørsted", "bench1:REF 50% off", "bench2:MULLER-2"}));
    query = {};
    query.plate = "ZT-777";
    EXPECT_EQ(Found("office", query), (Names{"bench2:Façade", "bench2:MULLER-2"}));
    query = {};
    query.limit = 2;
    query.offset = 1;
    EXPECT_EQ(Found("office", query), (Names{"bench1:back\\slash", "bench2:Ørsted"}));

    WorkshopServer server;
    ASSERT_EQ(server.Connect(Connection("office")), 0) << server.Detail();
    query = {};
    EXPECT_EQ(server.Count(query), 6);
    EXPECT_EQ(server.Count(query, 4), 4);
    query.text = "mull";
    EXPECT_EQ(server.Count(query), 2);
    // Every field of a result comes back as the bench sent it.
    std::vector<WorkshopRow> rows;
    query.text = "ørsted";
    ASSERT_EQ(server.Search(query, &rows), 0) << server.Detail();
    ASSERT_EQ(rows.size(), 1u);
    const HistoryResult &sent = Rows()[3].second;
    EXPECT_EQ(rows[0].result.localId, 2);
    EXPECT_EQ(rows[0].result.shownUtc, sent.shownUtc);
    EXPECT_EQ(rows[0].result.utcOffset, sent.utcOffset);
    EXPECT_EQ(rows[0].result.info, sent.info);
    EXPECT_EQ(rows[0].result.notes, sent.notes);
    EXPECT_EQ(rows[0].result.bCca, sent.bCca);
}

TEST_F(Search, TheServerMatchesAsTheBenchsOwnHistory) {
    ks_test::TempDir dir;
    HistoryStore store;
    ASSERT_EQ(store.Open(dir.file(kHistoryFileName)), 0);
    for (const auto &[bench, result] : Rows())
        ASSERT_GT(store.Add(result), 0);
    for (const std::string &text :
         std::vector<std::string>{"mull", "50%", "50", "%", "_", "noch_", "h_", "\\", "ß", "a",
                                  "façade ørsted", "50 %", "1'='1", kInjection}) {
        HistoryQuery query;
        query.text = text;
        std::vector<HistoryResult> local;
        ASSERT_EQ(store.Search(query, &local), 0);
        std::set<std::string> here, there;
        for (const HistoryResult &r : local)
            here.insert(r.entry);
        for (const std::string &found : Found("office", query))
            there.insert(found.substr(found.find(':') + 1));
        EXPECT_EQ(here, there) << "searching for " << text;
    }
}

TEST_F(Search, TheOperatorsWordsAreOnlyEverValues) {
    // Wildcards stand for themselves.
    EXPECT_EQ(Found("office", "50%"), (Names{"bench1:REF 50% off"}));
    EXPECT_EQ(Found("office", "e_"), Names{}); // "kunde wartet" has an e before any character
    EXPECT_EQ(Found("office", "noch_"), (Names{"bench1:REF 50% off"}));
    EXPECT_EQ(Found("office", "\\"), (Names{"bench1:back\\slash"}));
    // Quotes and statements are text to look for: only the row holding them is found, and the
    // table is still there.
    EXPECT_EQ(Found("office", kInjection), (Names{"bench1:back\\slash"}));
    EXPECT_EQ(Found("office", "x' OR '1'='1"), (Names{"bench2:Façade"}));
    EXPECT_EQ(Found("office", "'; DROP TABLE ks_schema; SELECT '"), Names{});
    EXPECT_EQ(cluster->Sql("SELECT count(*) FROM ks_results", kDatabase).output, "6\n");
    EXPECT_EQ(cluster->Sql("SELECT count(*) FROM ks_schema", kDatabase).output, "1\n");
}

TEST_F(Search, ABenchsRoleFindsAndChangesOnlyItsOwnRows) {
    EXPECT_EQ(Found("bench2", ""), (Names{"bench2:Façade", "bench2:Ørsted", "bench2:MULLER-2"}));
    EXPECT_EQ(Found("bench1", "mull"), (Names{"bench1:Müller"}));
    // A newer revision of bench2's row sent by bench1 changes nothing.
    WorkshopServer server;
    ASSERT_EQ(server.Connect(Connection("bench1")), 0) << server.Detail();
    HistoryResult forged = Rows()[1].second;
    forged.entry = "FORGED";
    EXPECT_EQ(server.Send("bench2", 9, forged), WORKSHOP_ERR_SCHEMA);
    EXPECT_EQ(Found("office", "forged"), Names{});
    EXPECT_EQ(Found("office", "muller-2"), (Names{"bench2:MULLER-2"}));
}

// A port that takes connections and never says a word: a server that hangs.
class SilentServer {
  public:
    SilentServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(fd_, 8) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(fd_); }
    int Port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

TEST_F(Search, TheSearcherNeverMakesItsCallerWait) {
    SilentServer silent;
    ASSERT_GT(silent.Port(), 0);
    WorkshopSearcher hanging("host=127.0.0.1 port=" + std::to_string(silent.Port()) +
                             " dbname=workshop user=office password=hunter2");
    const auto before = std::chrono::steady_clock::now();
    const int64_t first = hanging.Submit({}, -1);
    const int64_t second = hanging.Submit({}, -1);
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, std::chrono::milliseconds(500)) << "Submit returns at once";
    EXPECT_EQ(second, first + 1);
    EXPECT_FALSE(hanging.Take().has_value()) << "nothing answered yet";
    const std::optional<WorkshopAnswer> timedOut = hanging.Wait(second, kAnswerMs);
    ASSERT_TRUE(timedOut.has_value());
    EXPECT_EQ(timedOut->error, WORKSHOP_ERR_UNREACHABLE) << timedOut->detail;
    EXPECT_EQ(timedOut->detail.find("hunter2"), std::string::npos) << timedOut->detail;
}

TEST_F(Search, TheSearcherAnswersTheNewestQuestionAndComesBackWithTheServer) {
    WorkshopSearcher searcher(Connection("office"));
    HistoryQuery query;
    query.text = "m";
    searcher.Submit(query, -1);
    query.text = "mull";
    const int64_t newest = searcher.Submit(query, 1);
    std::optional<WorkshopAnswer> answer = searcher.Wait(newest, kAnswerMs);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->ticket, newest);
    EXPECT_EQ(answer->error, 0) << answer->detail;
    ASSERT_EQ(answer->rows.size(), 2u);
    EXPECT_EQ(answer->rows[0].bench, "bench2");
    EXPECT_EQ(answer->count, 1) << "counted up to the cap";
    EXPECT_FALSE(searcher.Take().has_value()) << "an older answer never comes after a newer";

    cluster->Stop();
    answer = searcher.Wait(searcher.Submit(query, -1), kAnswerMs);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->error, WORKSHOP_ERR_UNREACHABLE) << answer->detail;
    EXPECT_TRUE(answer->rows.empty());
    cluster->Start();
    answer = searcher.Wait(searcher.Submit(query, -1), kAnswerMs);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->error, 0) << answer->detail;
    EXPECT_EQ(answer->rows.size(), 2u);
}

TEST_F(Search, OnlyAReadConnectionSearchesEveryBench) {
    EXPECT_EQ(WorkshopSearchConnection({"bench1", Connection("bench1"), ""}), "");
    EXPECT_EQ(WorkshopSearchConnection({"bench1", Connection("bench1"), Connection("office")}),
              Connection("office"));
}

// ks_history beside a bench's history and workshop.ini.
class KsHistorySearch : public Search {
  protected:
    void SetUp() override {
        Search::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        HistoryStore store;
        ASSERT_EQ(store.Open(dir_.file(kHistoryFileName)), 0);
        ASSERT_GT(store.Add(Result(1, 0, "LOCAL-ONLY", "", "KX-042")), 0);
    }
    ks_test::CommandResult Run(const std::string &options) {
        return ks_test::runCommand("cd " + dir_.path() + " && " +
                                   ks_test::programPath("ks_history") + " --db " +
                                   dir_.file(kHistoryFileName) + " " + options + " 2>&1");
    }
    ks_test::TempDir dir_;
};

TEST_F(KsHistorySearch, SaysWhichHistoryItSearched) {
    ks_test::CommandResult r = Run("search ''");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("searched: this bench"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("LOCAL-ONLY"), std::string::npos) << r.output;

    // A hand-written file may hold a password: it is neither used nor shown.
    dir_.write(kWorkshopFileName,
               "[Workshop]\nBench = bench1\nConnection = " + Connection("bench1") +
                   "\nReadConnection = " + Connection("office") + " password=hunter2\n");
    r = Run("search mull");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("searched: all benches"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("bench\tshown_at\t"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("bench2\t2026-"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("bench1\t2026-"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("2 result(s)"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("hunter2"), std::string::npos) << r.output;

    r = Run("--local search ''");
    EXPECT_NE(r.output.find("searched: this bench"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("1 result(s)"), std::string::npos) << r.output;

    cluster->Stop();
    r = Run("search ''");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("all benches unreachable (The workshop server cannot be reached"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("searched: this bench"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("LOCAL-ONLY"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("hunter2"), std::string::npos) << r.output;
    r = Run("--server search ''");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output.find("LOCAL-ONLY"), std::string::npos) << r.output;
    EXPECT_EQ(Run("--server --local search ''").status, 2);
}

} // namespace
