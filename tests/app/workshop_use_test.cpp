// A bench with a workshop server configured: received results reach the server while the panel
// goes on as without it, and the status line tells the server's state, also when it refuses the
// bench.
#include "app_fixture.h"

#include <cstdlib>
#include <memory>

#include "app/ks_workshop.h"
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
    }
    static void TearDownTestSuite() { cluster.reset(); }
    void SetUp() override {
        if (!PgCluster::Available())
            GTEST_SKIP() << "the PostgreSQL server is not installed (scripts/install-deps)";
        ASSERT_TRUE(cluster) << "the private server did not start";
        AppTest::SetUp();
        ASSERT_EQ(cluster->Sql("DELETE FROM ks_results", "workshop").status, 0);
    }
    void TearDown() override {
        if (cluster) AppTest::TearDown();
        unsetenv("PGPASSWORD");
    }

    // workshop.ini beside ks.ini, for bench7.
    void Configure(const std::string &password) {
        setenv("PGPASSWORD", password.c_str(), 1);
        const WorkshopConfig config{"bench7",
                                    "host=127.0.0.1 port=" + std::to_string(cluster->Port()) +
                                        " dbname=workshop user=bench7 connect_timeout=2",
                                    ""};
        ASSERT_EQ(WorkshopWriteConfig(WorkPath(kWorkshopFileName), config), 0);
    }
    std::string OnServer(const std::string &sql) { return cluster->Sql(sql, "workshop").output; }

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

} // namespace
