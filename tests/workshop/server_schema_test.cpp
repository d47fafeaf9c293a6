// The workshop server's schema on a real PostgreSQL server: applied twice without harm, and its
// roles keep each bench to its own rows while the reader sees every bench.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/command.h"
#include "tests/support/paths.h"
#include "tests/support/pg_cluster.h"

using ks_test::CommandResult;
using ks_test::PgCluster;

namespace {

constexpr char kDatabase[] = "workshop";

class ServerSchema : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!PgCluster::Available()) return;
        cluster = std::make_unique<PgCluster>();
        cluster->MakeWorkshopDatabase(kDatabase);
        // Applied a second time, the schema changes nothing and fails nothing.
        const CommandResult again = ApplySchema();
        ASSERT_EQ(again.status, 0) << again.output;
        cluster->MakeLoginRole("bench1", "one", "ks_bench", kDatabase);
        cluster->MakeLoginRole("bench2", "two", "ks_bench", kDatabase);
        cluster->MakeLoginRole("office", "three", "ks_reader", kDatabase);
    }
    static void TearDownTestSuite() { cluster.reset(); }

    void SetUp() override {
        if (!PgCluster::Available())
            GTEST_SKIP() << "the PostgreSQL server is not installed (scripts/install-deps)";
        ASSERT_TRUE(cluster) << "the private server did not start";
    }

    static CommandResult ApplySchema() {
        return cluster->SqlFile(ks_test::sourcePath("workshop/server_schema.sql"), kDatabase);
    }

    // Runs SQL over TCP as a login role with its password; the output is psql's, unaligned.
    static CommandResult As(const std::string &user, const std::string &password,
                            const std::string &sql) {
        return ks_test::runCommand("PGCONNECT_TIMEOUT=5 psql -X -q -At -v ON_ERROR_STOP=1 \"" +
                                   cluster->ConnectionString(user, password, kDatabase) +
                                   "\" -c \"" + sql + "\"");
    }

    static std::string Upsert(const std::string &bench, int id, int revision,
                              const std::string &notes) {
        return "INSERT INTO ks_results (bench, local_id, revision, source, shown_utc, utc_offset, "
               "notes) VALUES ('" +
               bench + "', " + std::to_string(id) + ", " + std::to_string(revision) +
               ", 0, now(), 3600, '" + notes +
               "') ON CONFLICT (bench, local_id) DO UPDATE SET revision = EXCLUDED.revision, "
               "notes = EXCLUDED.notes WHERE ks_results.revision < EXCLUDED.revision";
    }

    static std::unique_ptr<PgCluster> cluster;
};

std::unique_ptr<PgCluster> ServerSchema::cluster;

TEST_F(ServerSchema, EachBenchWritesAndReadsOnlyItsOwnRows) {
    ASSERT_EQ(As("bench1", "one", Upsert("bench1", 1, 1, "first")).status, 0);
    ASSERT_EQ(As("bench2", "two", Upsert("bench2", 1, 1, "other bench")).status, 0);

    // Writing under another bench's name is refused, and so is changing its rows.
    const CommandResult forged = As("bench1", "one", Upsert("bench2", 2, 1, "forged"));
    EXPECT_NE(forged.status, 0);
    EXPECT_NE(forged.output.find("row-level security"), std::string::npos) << forged.output;
    EXPECT_EQ(As("bench1", "one",
                 "UPDATE ks_results SET notes = 'changed' WHERE bench = 'bench2' "
                 "RETURNING local_id")
                  .output,
              "");
    EXPECT_EQ(As("bench1", "one", "SELECT bench FROM ks_results ORDER BY bench").output,
              "bench1\n");

    // The reader sees every bench and changes nothing.
    EXPECT_EQ(
        As("office", "three", "SELECT bench || ':' || notes FROM ks_results ORDER BY bench").output,
        "bench1:first\nbench2:other bench\n");
    EXPECT_NE(As("office", "three", Upsert("bench1", 9, 1, "reader")).status, 0);
}

TEST_F(ServerSchema, ALateCopyNeverReplacesANewerOne) {
    ASSERT_EQ(As("bench1", "one", Upsert("bench1", 5, 1, "v1")).status, 0);
    ASSERT_EQ(As("bench1", "one", Upsert("bench1", 5, 3, "v3")).status, 0);
    ASSERT_EQ(As("bench1", "one", Upsert("bench1", 5, 2, "v2 arrives late")).status, 0);
    ASSERT_EQ(As("bench1", "one", Upsert("bench1", 5, 3, "v3")).status, 0); // a retry
    EXPECT_EQ(As("bench1", "one",
                 "SELECT count(*) || ' ' || max(notes) FROM ks_results "
                 "WHERE local_id = 5")
                  .output,
              "1 v3\n");
}

TEST_F(ServerSchema, AWrongPasswordIsRefusedAsSuch) {
    const CommandResult refused = As("bench1", "wrong", "SELECT 1");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.output.find("password authentication failed"), std::string::npos)
        << refused.output;
}

} // namespace
