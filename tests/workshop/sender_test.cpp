// Benches sending their results to a real PostgreSQL server: every result arrives once, changes
// of entry and notes follow, a server that is away loses and duplicates nothing, and a bench can
// neither write another bench's rows nor get past a wrong password.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "history/history.h"
#include "tests/support/pg_cluster.h"
#include "tests/support/qt_core_environment.h"
#include "tests/support/temp_dir.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_sender.h"

using ks_test::PgCluster;

namespace {

const auto *const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);

constexpr char kDatabase[] = "workshop";

HistoryResult Result(int n) {
    HistoryResult r;
    r.source = n % 2 ? HISTORY_SOURCE_TESTER : HISTORY_SOURCE_TYPED;
    r.shownUtc = 1796000000 + n * 60;
    r.utcOffset = 3600;
    r.programVersion = "test";
    r.info = {
        "BT-SIM 500", "SW 2", "12-07-2026", "OP " + std::to_string(n), "HN-" + std::to_string(n),
        "Hall B"};
    r.bVolt = 12.5;
    r.bCca = 400 + n;
    r.setPoint = 500;
    r.tCode = "3E225891";
    r.entry = "REF-" + std::to_string(n);
    return r;
}

// Waits for a condition (the sender works on its own thread), at most a minute.
bool WaitFor(const std::function<bool()> &condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

class Sender : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!PgCluster::Available()) return;
        cluster = std::make_unique<PgCluster>();
        cluster->MakeWorkshopDatabase(kDatabase);
        cluster->MakeLoginRole("bench1", "pw", "ks_bench", kDatabase);
        cluster->MakeLoginRole("bench2", "pw", "ks_bench", kDatabase);
    }
    static void TearDownTestSuite() { cluster.reset(); }
    void SetUp() override {
        if (!PgCluster::Available())
            GTEST_SKIP() << "the PostgreSQL server is not installed (scripts/install-deps)";
        ASSERT_TRUE(cluster) << "the private server did not start";
        if (!cluster->Running()) cluster->Start();
        setenv("PGPASSWORD", "pw", 1);
        ASSERT_EQ(cluster->Sql("DELETE FROM ks_results", kDatabase).status, 0);
    }
    void TearDown() override { unsetenv("PGPASSWORD"); }

    static WorkshopConfig Config(const std::string &bench, const std::string &role) {
        return {bench,
                "host=127.0.0.1 port=" + std::to_string(cluster->Port()) +
                    " dbname=workshop user=" + role + " connect_timeout=2",
                ""};
    }
    static std::string OnServer(const std::string &sql) {
        return cluster->Sql(sql, kDatabase).output;
    }

    static std::unique_ptr<PgCluster> cluster;
    ks_test::TempDir dir_;
};

std::unique_ptr<PgCluster> Sender::cluster;

TEST_F(Sender, ResultsOfTwoBenchesArriveOnceEachAndChangesFollow) {
    const std::string one = dir_.file("one.sqlite"), two = dir_.file("two.sqlite");
    HistoryStore first, second;
    ASSERT_EQ(first.Open(one), 0);
    ASSERT_EQ(second.Open(two), 0);
    int64_t firstIds[20];
    for (int n = 0; n < 20; ++n) {
        firstIds[n] = first.Add(Result(n));
        ASSERT_GT(firstIds[n], 0);
        ASSERT_GT(second.Add(Result(100 + n)), 0);
    }
    WorkshopSender sendOne(one, Config("bench1", "bench1")),
        sendTwo(two, Config("bench2", "bench2"));
    sendOne.Start();
    sendTwo.Start();
    ASSERT_TRUE(WaitFor([&] {
        return sendOne.Status().state == WORKSHOP_UP_TO_DATE &&
               sendTwo.Status().state == WORKSHOP_UP_TO_DATE;
    })) << sendOne.Status().detail
        << sendTwo.Status().detail;
    EXPECT_EQ(OnServer("SELECT bench, count(*), count(DISTINCT local_id) FROM ks_results "
                       "GROUP BY bench ORDER BY bench"),
              "bench1|20|20\nbench2|20|20\n");

    // The operator's notes, typed after the result was shown, follow it to the server.
    ASSERT_EQ(first.UpdateTexts(firstIds[3], "REF-3", "Terminal corroded"), 0);
    sendOne.Wake();
    ASSERT_TRUE(WaitFor([&] {
        return OnServer("SELECT notes FROM ks_results WHERE bench = 'bench1' AND local_id = " +
                        std::to_string(firstIds[3])) == "Terminal corroded\n";
    }));
    EXPECT_EQ(OnServer("SELECT count(*) FROM ks_results"), "40\n");
    EXPECT_TRUE(WaitFor([&] { return sendOne.Status().backlog == 0; }));
}

TEST_F(Sender, AServerThatIsAwayLosesAndDuplicatesNothing) {
    const std::string path = dir_.file("bench.sqlite");
    HistoryStore history;
    ASSERT_EQ(history.Open(path), 0);
    WorkshopSender sender(path, Config("bench1", "bench1"));
    sender.Start();
    for (int n = 0; n < 10; ++n)
        ASSERT_GT(history.Add(Result(n)), 0);
    sender.Wake();
    ASSERT_TRUE(WaitFor([&] { return sender.Status().state == WORKSHOP_UP_TO_DATE; }));

    cluster->Stop();
    for (int n = 10; n < 30; ++n) {
        ASSERT_GT(history.Add(Result(n)), 0); // the bench goes on while the server is away
        sender.Wake();
    }
    ASSERT_TRUE(WaitFor([&] { return sender.Status().error == WORKSHOP_ERR_UNREACHABLE; }))
        << sender.Status().detail;
    EXPECT_EQ(sender.Status().state, WORKSHOP_FAILING);
    EXPECT_TRUE(WaitFor([&] { return sender.Status().backlog == 20; }));

    cluster->Start();
    sender.Wake(); // as the next stored result would; otherwise the next retry finds it back
    ASSERT_TRUE(WaitFor([&] { return sender.Status().state == WORKSHOP_UP_TO_DATE; }))
        << sender.Status().detail;
    EXPECT_EQ(OnServer("SELECT count(*), count(DISTINCT local_id), min(local_id), max(local_id) "
                       "FROM ks_results"),
              "30|30|1|30\n");
}

TEST_F(Sender, ABenchCannotWriteUnderAnotherBenchsNameNorWithAWrongPassword) {
    const std::string path = dir_.file("bench.sqlite");
    HistoryStore history;
    ASSERT_EQ(history.Open(path), 0);
    ASSERT_GT(history.Add(Result(1)), 0);
    {
        WorkshopSender forged(path, Config("bench2", "bench1"));
        forged.Start();
        ASSERT_TRUE(WaitFor([&] { return forged.Status().state == WORKSHOP_FAILING; }));
        EXPECT_EQ(forged.Status().error, WORKSHOP_ERR_SCHEMA) << forged.Status().detail;
        EXPECT_EQ(forged.Status().backlog, 1);
    }
    setenv("PGPASSWORD", "wrong", 1);
    {
        WorkshopSender refused(path, Config("bench1", "bench1"));
        refused.Start();
        ASSERT_TRUE(WaitFor([&] { return refused.Status().state == WORKSHOP_FAILING; }));
        EXPECT_EQ(refused.Status().error, WORKSHOP_ERR_AUTHENTICATION) << refused.Status().detail;
        // The bench goes on storing while the server refuses it.
        EXPECT_GT(history.Add(Result(2)), 0);
    }
    EXPECT_EQ(OnServer("SELECT count(*) FROM ks_results"), "0\n");
}

} // namespace
