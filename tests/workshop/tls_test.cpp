// TLS to the workshop server as the connection asks for it: verify-full trusts only the
// certificate authority it is given, and a server without TLS fails a connection that requires it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/support/pg_cluster.h"
#include "tests/support/qt_core_environment.h"
#include "toolbox/core/errors.h"
#include "workshop/workshop_server.h"

using ks_test::PgCluster;

namespace {

const auto *const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new ks_test::QtCoreEnvironment);

class Tls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!PgCluster::Available()) return;
        cluster = std::make_unique<PgCluster>();
        cluster->MakeWorkshopDatabase("workshop");
        cluster->MakeLoginRole("bench1", "one", "ks_bench", "workshop");
        rightAuthority = cluster->MakeCertificateAuthority("right");
        wrongAuthority = cluster->MakeCertificateAuthority("wrong");
        cluster->EnableTls("right");
    }
    static void TearDownTestSuite() { cluster.reset(); }
    void SetUp() override {
        if (!PgCluster::Available())
            GTEST_SKIP() << "the PostgreSQL server is not installed (scripts/install-deps)";
        ASSERT_TRUE(cluster) << "the private server did not start";
        setenv("PGPASSWORD", "one", 1);
    }
    void TearDown() override { unsetenv("PGPASSWORD"); }

    // Over TCP to the name on the certificate, with extra keywords.
    static std::string Connection(const std::string &extra) {
        return "host=localhost hostaddr=127.0.0.1 port=" + std::to_string(cluster->Port()) +
               " dbname=workshop user=bench1 " + extra;
    }

    static std::unique_ptr<PgCluster> cluster;
    static std::string rightAuthority, wrongAuthority;
};

std::unique_ptr<PgCluster> Tls::cluster;
std::string Tls::rightAuthority;
std::string Tls::wrongAuthority;

TEST_F(Tls, VerifyFullConnectsWithTheServersAuthorityOnly) {
    std::string detail;
    EXPECT_EQ(WorkshopTestConnection(
                  Connection("sslmode=verify-full sslrootcert=" + rightAuthority), &detail),
              0)
        << detail;
    // The connection really is encrypted.
    WorkshopServer server;
    ASSERT_EQ(server.Connect(Connection("sslmode=verify-full sslrootcert=" + rightAuthority)), 0)
        << server.Detail();
    EXPECT_EQ(cluster
                  ->Sql("SELECT count(*) FROM pg_stat_ssl s JOIN pg_stat_activity a "
                        "USING (pid) WHERE a.usename = 'bench1' AND s.ssl",
                        "workshop")
                  .output,
              "1\n");

    EXPECT_EQ(WorkshopTestConnection(
                  Connection("sslmode=verify-full sslrootcert=" + wrongAuthority), &detail),
              WORKSHOP_ERR_TLS);
    EXPECT_NE(detail.find("certificate verify failed"), std::string::npos) << detail;
    // The right authority, but a name the certificate does not carry.
    EXPECT_EQ(WorkshopTestConnection(
                  "host=127.0.0.2 hostaddr=127.0.0.1 port=" + std::to_string(cluster->Port()) +
                      " dbname=workshop user=bench1 sslmode=verify-full "
                      "sslrootcert=" +
                      rightAuthority,
                  &detail),
              WORKSHOP_ERR_TLS);
    EXPECT_NE(detail.find("127.0.0.2"), std::string::npos) << detail;
}

TEST_F(Tls, LesserModesConnectAsTheServerAllowsThem) {
    std::string detail;
    EXPECT_EQ(WorkshopTestConnection(Connection("sslmode=disable"), &detail), 0) << detail;
    // require with an authority checks it as verify-ca does (also when a user's
    // ~/.postgresql/root.crt would otherwise be taken), but not the host's name.
    EXPECT_EQ(WorkshopTestConnection(
                  "host=127.0.0.2 hostaddr=127.0.0.1 port=" + std::to_string(cluster->Port()) +
                      " dbname=workshop user=bench1 sslmode=require "
                      "sslrootcert=" +
                      rightAuthority,
                  &detail),
              0)
        << detail;
}

} // namespace
