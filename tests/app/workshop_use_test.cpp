// A bench with a workshop server configured: received results reach the server while the panel
// goes on as without it, the status line tells the server's state, also when it refuses the
// bench, and the history panel searches every bench while the server answers.
#include "app_fixture.h"

#include <cstdlib>
#include <memory>

#include "app/ks_histpanel.h"
#include "app/ks_workshop.h"
#include "app/ks_workshoppanel.h"
#include "tests/support/pg_cluster.h"
#include "workshop/workshop_config.h"

using ks_test::PgCluster;

namespace {

class WorkshopUse : public AppTest {
  protected:
    static void SetUpTestSuite() {
        if (!PgCluster::Available()) return;
        cluster = std::make_unique<PgCluster>();
        cluster->MakeWorkshopDatabase("workshop");
        cluster->MakeLoginRole("bench7", "seven", "ks_bench", "workshop");
        cluster->MakeLoginRole("office", "seven", "ks_reader", "workshop");
        cluster->MakeLoginRole("bench8", "seven", "ks_bench", "workshop");
    }
    static void TearDownTestSuite() { cluster.reset(); }
    void SetUp() override {
        if (!PgCluster::Available())
            GTEST_SKIP() << "the PostgreSQL server is not installed (scripts/install-deps)";
        ASSERT_TRUE(cluster) << "the private server did not start";
        AppTest::SetUp();
        if (!cluster->Running()) cluster->Start();
        ASSERT_EQ(cluster->Sql("DELETE FROM ks_results", "workshop").status, 0);
    }
    void TearDown() override {
        if (cluster) AppTest::TearDown();
        unsetenv("PGPASSWORD");
    }

    // workshop.ini beside ks.ini, for bench7 (searching every bench as `reader` when given).
    void Configure(const std::string &password, const std::string &reader = "") {
        setenv("PGPASSWORD", password.c_str(), 1);
        auto connection = [](const std::string &role) {
            return "host=127.0.0.1 port=" + std::to_string(cluster->Port()) +
                   " dbname=workshop user=" + role + " connect_timeout=2";
        };
        const WorkshopConfig config{"bench7", connection("bench7"),
                                    reader.empty() ? "" : connection(reader)};
        ASSERT_EQ(WorkshopWriteConfig(WorkPath(kWorkshopFileName), config), 0);
    }
    std::string OnServer(const std::string &sql) { return cluster->Sql(sql, "workshop").output; }
    static std::string Text(int panel, int control) {
        char text[512] = "";
        GetCtrlVal(panel, control, text);
        return text;
    }
    static int Items(int panel) {
        int items = -1;
        GetNumListItems(panel, HISTORY_LIST, &items);
        return items;
    }

    // A connection over TCP for a user, its password left to PGPASSWORD.
    static std::string ConnectionFor(const std::string &user, const std::string &database) {
        return "host=127.0.0.1 port=" + std::to_string(cluster->Port()) + " dbname=" + database +
               " user=" + user + " connect_timeout=5";
    }
    // Settings > Workshop server, filled in and answered with `button`.
    void Settle(const std::string &bench, const std::string &connection, int button) {
        ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_WORKSHOP));
        const int panel = KsWorkshopPanel();
        ASSERT_GT(panel, 0);
        SetCtrlVal(panel, WORKSHOP_BENCH, bench.c_str());
        SetCtrlVal(panel, WORKSHOP_CONNECTION, connection.c_str());
        ASSERT_EQ(0, RT_TestCommit(panel, button));
        EXPECT_EQ(KsWorkshopPanel(), 0);
    }
    // What Test connection says of a connection, once the test is over.
    std::string TestSays(int panel, const std::string &connection) {
        SetCtrlVal(panel, WORKSHOP_CONNECTION, connection.c_str());
        if (RT_TestCommit(panel, WORKSHOP_TEST) != 0) return "(not pressed)";
        if (!RunUntil([] { return KsWorkshopTesting() == 0; }, 30000)) return "(still testing)";
        char said[4096] = "";
        RunUntil([panel, &said] {
            GetCtrlVal(panel, WORKSHOP_MESSAGE, said);
            return std::string(said).rfind("Testing", 0) != 0;
        });
        return said;
    }

    static std::unique_ptr<PgCluster> cluster;
};

std::unique_ptr<PgCluster> WorkshopUse::cluster;

TEST_F(WorkshopUse, ReceivedResultsReachTheServerAndTheStatusLineSaysSo) {
    Configure("seven");
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 610, "12.10")));
    ASSERT_TRUE(RunUntil(
        [this] {
            return OnServer("SELECT count(*) FROM ks_results WHERE bench = 'bench7'") == "2\n";
        },
        30000));
    EXPECT_EQ(OnServer("SELECT set_point FROM ks_results ORDER BY local_id"), "500\n610\n");
    EXPECT_TRUE(RunUntil([this] {
        return TextOf(MAIN_STATUS).find("Server: up to date") != std::string::npos;
    })) << TextOf(MAIN_STATUS);
}

TEST_F(WorkshopUse, AnExitFromInsideTheRunStopsTheServerThreadsWithoutACrash) {
    // The toolkit calls exit() when the display goes away: the static destructors then run with
    // the sender and the searcher connected, after Qt SQL's own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Configure("seven", "office");
            if (Start(1) != 0) std::_Exit(2);
            if (!RunUntil([this] {
                    return TextOf(MAIN_STATUS).find("Server: up to date") != std::string::npos;
                }))
                std::_Exit(3);
            std::exit(7);
        },
        testing::ExitedWithCode(7), "");
}

TEST_F(WorkshopUse, AServerThatRefusesTheBenchStopsNothingAndIsShown) {
    Configure("wrong");
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    EXPECT_TRUE(RunUntil(
        [this] {
            return TextOf(MAIN_STATUS).find("Server: no connection (1)") != std::string::npos;
        },
        30000))
        << TextOf(MAIN_STATUS);
    EXPECT_EQ(KsWorkshopStatus().error, WORKSHOP_ERR_AUTHENTICATION);
    // Reception and the log go on.
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 610, "12.10")));
    EXPECT_EQ(IntOf(MAIN_SETPNT), 610);
    EXPECT_EQ(OnServer("SELECT count(*) FROM ks_results"), "0\n");
}

TEST_F(WorkshopUse, TheHistoryPanelSearchesEveryBenchAndFallsBackToThisBench) {
    Configure("seven", "office");
    ASSERT_EQ(
        OnServer("INSERT INTO ks_results (bench, local_id, source, shown_utc, utc_offset, "
                 "entry, search_folded) VALUES ('bench8', 1, 0, to_timestamp(1500000000), 3600, "
                 "'OTHER-BENCH', 'other-bench')"),
        "");
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    ASSERT_TRUE(
        RunUntil([this] { return OnServer("SELECT count(*) FROM ks_results") == "2\n"; }, 30000));

    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_HISTORY));
    const int panel = KsHistoryPanel();
    ASSERT_GT(panel, 0);
    ASSERT_TRUE(RunUntil([&] { return Text(panel, HISTORY_SEARCHED) == "All benches"; }, 30000))
        << Text(panel, HISTORY_SEARCHED);
    ASSERT_EQ(Items(panel), 2);
    EXPECT_EQ(Text(panel, HISTORY_COUNT), "Results: 2");
    EXPECT_EQ(Text(panel, HISTORY_HEADER).rfind("Bench     Date and time", 0), 0u)
        << Text(panel, HISTORY_HEADER);
    char line[512] = "";
    GetLabelFromIndex(panel, HISTORY_LIST, 0, line);
    EXPECT_EQ(std::string(line).rfind("bench7    ", 0), 0u) << line; // the newest (2026)
    GetLabelFromIndex(panel, HISTORY_LIST, 1, line);
    EXPECT_EQ(std::string(line).rfind("bench8    ", 0), 0u) << line;
    EXPECT_NE(std::string(line).find("OTHER-BENCH"), std::string::npos) << line;

    // A search the operator changed before the answer came shows only the newer one's answer.
    SetCtrlVal(panel, HISTORY_SEARCH, "other");
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_SEARCH));
    SetCtrlVal(panel, HISTORY_SEARCH, "");
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_SEARCH));
    EXPECT_EQ(Text(panel, HISTORY_SEARCHED), "All benches: searching...");
    ASSERT_TRUE(RunUntil([&] { return Text(panel, HISTORY_SEARCHED) == "All benches"; }, 30000));
    EXPECT_EQ(Items(panel), 2);

    cluster->Stop();
    SetCtrlVal(panel, HISTORY_SEARCH, "3E2");
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_SEARCH));
    const std::string fallback = "All benches unreachable: searching this bench "
                                 "(the server cannot be reached)";
    ASSERT_TRUE(RunUntil([&] { return Text(panel, HISTORY_SEARCHED) == fallback; }, 30000))
        << Text(panel, HISTORY_SEARCHED);
    EXPECT_EQ(Items(panel), 1);
    EXPECT_EQ(Text(panel, HISTORY_HEADER).rfind("Date and time", 0), 0u);
    GetLabelFromIndex(panel, HISTORY_LIST, 0, line);
    EXPECT_NE(std::string(line).find("3E225891"), std::string::npos) << line;
    // While the server stays away, a search shows this bench's results at once.
    SetCtrlVal(panel, HISTORY_SEARCH, "zzz");
    ASSERT_EQ(0, RT_TestCommit(panel, HISTORY_SEARCH));
    EXPECT_EQ(Items(panel), 0);
    EXPECT_EQ(Text(panel, HISTORY_SEARCHED), fallback);
}

TEST_F(WorkshopUse, OkWritesTheSettingsAndTheSenderStartsAgainWithThem) {
    setenv("PGPASSWORD", "seven", 1);
    ASSERT_EQ(0, Start(1));
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225891", 500, "12.45")));
    EXPECT_EQ(KsWorkshopStatus().state, WORKSHOP_OFF);

    Settle("bench7", ConnectionFor("bench7", "workshop"), WORKSHOP_OK);
    WorkshopConfig written;
    ASSERT_EQ(WorkshopReadConfig(WorkPath(kWorkshopFileName), &written), 0);
    EXPECT_EQ(written.bench, "bench7");
    EXPECT_EQ(written.connection, ConnectionFor("bench7", "workshop"));
    ASSERT_TRUE(RunUntil(
        [this] { return OnServer("SELECT bench, set_point FROM ks_results") == "bench7|500\n"; },
        30000))
        << OnServer("SELECT bench, set_point FROM ks_results");
    EXPECT_TRUE(RunUntil([this] {
        return TextOf(MAIN_STATUS).find("Server: up to date") != std::string::npos;
    })) << TextOf(MAIN_STATUS);

    // Another bench's name and role: what comes next goes there.
    Settle("bench8", ConnectionFor("bench8", "workshop"), WORKSHOP_OK);
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("36425C81", 610, "12.10")));
    ASSERT_TRUE(RunUntil(
        [this] {
            return OnServer("SELECT bench, set_point FROM ks_results ORDER BY set_point") ==
                   "bench7|500\nbench8|610\n";
        },
        30000))
        << OnServer("SELECT bench, set_point FROM ks_results ORDER BY set_point");

    // No connection: no server, and the status line as without one.
    Settle("bench8", "", WORKSHOP_OK);
    EXPECT_EQ(KsWorkshopStatus().state, WORKSHOP_OFF);
    EXPECT_TRUE(RunUntil([this] {
        return TextOf(MAIN_STATUS).find("Last record") != std::string::npos;
    })) << TextOf(MAIN_STATUS);
    ASSERT_TRUE(SendRecordAndWait(SampleRecord("3E225890", 720, "12.60")));
    EXPECT_EQ(KsWorkshopStatus().state, WORKSHOP_OFF);
}

TEST_F(WorkshopUse, TestConnectionSaysWhatFailedInTheOperatorsWords) {
    setenv("PGPASSWORD", "wrong", 1);
    ASSERT_EQ(0, Start(1));
    ASSERT_EQ(0, RT_TestCommitMenuItem(MenuBar(), MENU_WORKSHOP));
    const int panel = KsWorkshopPanel();
    ASSERT_GT(panel, 0);
    SetCtrlVal(panel, WORKSHOP_BENCH, "bench7");

    std::string said = TestSays(panel, ConnectionFor("bench7", "workshop"));
    EXPECT_EQ(said.rfind("Connection: The server refused the user or its password "
                         "(authentication).\n",
                         0),
              0u)
        << said;
    EXPECT_NE(said.find("bench7"), std::string::npos) << "the server's words follow: " << said;
    EXPECT_EQ(said.find("wrong"), std::string::npos) << said;

    setenv("PGPASSWORD", "seven", 1);
    said = TestSays(panel, ConnectionFor("bench7", "nosuch"));
    EXPECT_EQ(said.rfind("Connection: The server has no database of that name.", 0), 0u) << said;
    said = TestSays(panel, ConnectionFor("bench7", "workshop"));
    EXPECT_EQ(said, "The connection works: the server has the workshop's tables.");
    // The server's plain database has no workshop tables.
    said = TestSays(panel, ConnectionFor("bench7", "postgres"));
    EXPECT_EQ(said.rfind("Connection: The workshop's tables are missing", 0), 0u) << said;

    ASSERT_EQ(0, RT_TestCommit(panel, WORKSHOP_CANCEL));
    EXPECT_FALSE(Exists(WorkPath(kWorkshopFileName)));
}

} // namespace
