// A bench's connection to a real PostgreSQL server: each way of failing gives its own code, and
// a password never shows in what the operator is told.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/support/command.h"
#include "tests/support/paths.h"
#include "tests/support/pg_cluster.h"
#include "tests/support/qt_core_environment.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_server.h"

using ks_test::PgCluster;

namespace {

const auto *const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);

class ServerConnection : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!PgCluster::Available()) return;
        cluster = std::make_unique<PgCluster>();
        cluster->MakeWorkshopDatabase("workshop");
        ASSERT_EQ(cluster->Sql("CREATE DATABASE other").status, 0);
        cluster->MakeLoginRole("bench1", "one", "ks_bench", "workshop");
    }
    static void TearDownTestSuite() { cluster.reset(); }
    void SetUp() override {
        if (!PgCluster::Available())
            GTEST_SKIP() << "the PostgreSQL server is not installed (scripts/install-deps)";
        ASSERT_TRUE(cluster) << "the private server did not start";
        setenv("PGPASSWORD", "one", 1);
    }
    void TearDown() override { unsetenv("PGPASSWORD"); }

    static std::string Keywords(const std::string &database, const std::string &extra = "") {
        return "host=127.0.0.1 port=" + std::to_string(cluster->Port()) + " dbname=" + database +
               " user=bench1" + extra;
    }

    static std::unique_ptr<PgCluster> cluster;
};

std::unique_ptr<PgCluster> ServerConnection::cluster;

TEST_F(ServerConnection, EachFailureSaysWhatFailed) {
    std::string detail;
    EXPECT_EQ(WorkshopTestConnection(Keywords("workshop"), &detail), 0) << detail;
    const std::string uri = "postgresql://bench1@127.0.0.1:" + std::to_string(cluster->Port()) +
                            "/workshop?application_name=ks%20read";
    EXPECT_EQ(WorkshopTestConnection(uri, &detail), 0) << detail;

    setenv("PGPASSWORD", "wrong", 1);
    EXPECT_EQ(WorkshopTestConnection(Keywords("workshop"), &detail), WORKSHOP_ERR_AUTHENTICATION)
        << detail;
    setenv("PGPASSWORD", "one", 1);

    EXPECT_EQ(WorkshopTestConnection(Keywords("nowhere"), &detail), WORKSHOP_ERR_NO_DATABASE)
        << detail;
    // The database is there, but not the workshop's tables (nor the right to connect: either
    // way the bench cannot use it).
    const int other = WorkshopTestConnection(Keywords("other"), &detail);
    EXPECT_TRUE(other == WORKSHOP_ERR_SCHEMA || other == WORKSHOP_ERR_AUTHENTICATION) << detail;
    EXPECT_EQ(WorkshopTestConnection(Keywords("workshop", " sslmode=require"), &detail),
              WORKSHOP_ERR_TLS)
        << detail;
    // A port where nothing listens.
    EXPECT_EQ(WorkshopTestConnection("host=127.0.0.1 port=1 dbname=workshop user=bench1", &detail),
              WORKSHOP_ERR_UNREACHABLE)
        << detail;
}

TEST_F(ServerConnection, APasswordInTheConnectionIsNeitherUsedNorShown) {
    unsetenv("PGPASSWORD");
    std::string detail;
    const int code = WorkshopTestConnection(Keywords("workshop", " password=one"), &detail);
    EXPECT_EQ(code, WORKSHOP_ERR_AUTHENTICATION) << detail;
    EXPECT_EQ(detail.find("one'"), std::string::npos);
    EXPECT_EQ(WorkshopConnectOptions("host=h password='se cr' user=u").find("se cr"),
              std::string::npos);
    EXPECT_EQ(WorkshopConnectOptions("postgresql://u:pw@h:5/d?sslmode=verify-full"),
              "host='h' port='5' user='u' dbname='d' sslmode='verify-full'");
}

TEST_F(ServerConnection, TheShippedSchemaIsAppliedByTheProgramAsByPsql) {
    ASSERT_EQ(cluster->Sql("CREATE DATABASE fresh").status, 0);
    const std::string admin = "host=" + cluster->Folder() +
                              "/sockets port=" + std::to_string(cluster->Port()) +
                              " dbname=fresh user=" + PgCluster::kAdmin;
    for (int run = 0; run < 2; ++run) { // a second run changes nothing
        WorkshopServer server;
        ASSERT_EQ(server.Connect(admin), 0) << server.Detail();
        EXPECT_EQ(server.ApplySchema(), 0) << server.Detail();
        EXPECT_EQ(server.CheckSchema(), 0) << server.Detail();
    }
    EXPECT_EQ(cluster->Sql("SELECT version FROM ks_schema", "fresh").output, "1\n");
    ASSERT_EQ(cluster->Sql("GRANT CONNECT ON DATABASE fresh TO ks_bench", "fresh").status, 0);
    std::string detail;
    EXPECT_EQ(WorkshopTestConnection(Keywords("fresh"), &detail), 0) << detail;
}

TEST_F(ServerConnection, KsHistoryServerInitAppliesTheSchemaAndSaysWhatFailed) {
    ASSERT_EQ(cluster->Sql("CREATE DATABASE byhand").status, 0);
    const std::string tool = ks_test::programPath("ks_history");
    const std::string admin = "host=" + cluster->Folder() +
                              "/sockets port=" + std::to_string(cluster->Port()) +
                              " dbname=byhand user=" + PgCluster::kAdmin;
    for (int run = 0; run < 2; ++run) {
        const auto applied = ks_test::runCommand(tool + " server-init '" + admin + "'");
        EXPECT_EQ(applied.status, 0) << applied.output;
    }
    EXPECT_EQ(cluster->Sql("SELECT version FROM ks_schema", "byhand").output, "1\n");
    const auto usage = ks_test::runCommand(tool + " server-init");
    EXPECT_EQ(usage.status, 2) << usage.output;
    const auto refused = ks_test::runCommand("PGPASSWORD=wrong " + tool + " server-init '" +
                                             Keywords("workshop") + " password=hidden'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("refused the user name or password"), std::string::npos)
        << refused.output;
    EXPECT_EQ(refused.output.find("hidden"), std::string::npos) << "the password is not shown";
}

} // namespace
