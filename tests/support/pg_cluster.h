// A private PostgreSQL server for one test program: a cluster made with initdb in a temporary
// folder, listening on a free port of 127.0.0.1 and on a socket in that folder, stopped and
// removed with the object. Started as the "postgres" user (or "nobody") when the test runs as
// root, since the server refuses to run as root.
//
// The cluster's superuser is kAdmin, trusted on the socket only; connections over TCP need a
// password (scram-sha-256), as a workshop's server would. EnableTls turns TLS on with a
// certificate of localhost signed by a certificate authority made for the test (openssl).
#pragma once

#include <memory>
#include <string>

#include "tests/support/command.h"

namespace ks_test {

class PgCluster {
  public:
    static constexpr const char *kAdmin = "ks_admin";

    // Whether the server's programs are installed (initdb, pg_ctl, psql).
    static bool Available();

    PgCluster(); // makes the cluster; throws std::runtime_error with the server's words
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    void Start(); // throws when the server does not come up
    void Stop();  // waits until it is down; harmless when it is
    bool Running() const { return running_; }

    int Port() const { return port_; }
    const std::string &Host() const { return host_; } // "127.0.0.1"
    // A libpq connection string over TCP for a user and password.
    std::string ConnectionString(const std::string &user, const std::string &password,
                                 const std::string &database) const;
    // Runs SQL as the superuser with psql (stops at the first error) in a database.
    CommandResult Sql(const std::string &sql, const std::string &database = "postgres") const;
    // Runs a file of SQL the same way.
    CommandResult SqlFile(const std::string &path, const std::string &database) const;
    // A database with the workshop server's schema (workshop/server_schema.sql) applied; throws
    // std::runtime_error with psql's words when it cannot be made.
    void MakeWorkshopDatabase(const std::string &database) const;
    // A login role with a password in a group role (ks_bench or ks_reader), allowed to connect
    // to the database; throws as above.
    void MakeLoginRole(const std::string &name, const std::string &password,
                       const std::string &group, const std::string &database) const;
    // Makes a certificate authority of its own in the cluster's folder (a key and a self-signed
    // certificate, with openssl) and returns the certificate's path, for a client's sslrootcert.
    // Throws std::runtime_error with openssl's words.
    std::string MakeCertificateAuthority(const std::string &name) const;
    // Gives the server a certificate for localhost (CN and subject names localhost and
    // 127.0.0.1) signed by the authority MakeCertificateAuthority(authority) made, and restarts
    // it with ssl=on. Throws as above.
    void EnableTls(const std::string &authority);
    // The folder of the cluster's files (for a test that writes a pg_service.conf or a .pgpass).
    const std::string &Folder() const { return folder_; }

  private:
    std::string Psql(const std::string &database) const;
    std::string AsServerUser(const std::string &command) const;

    std::string bin_;
    std::string folder_;
    std::string data_;
    std::string sockets_;
    std::string host_ = "127.0.0.1";
    int port_ = 0;
    bool running_ = false;
    std::string user_;       // the account the server runs as, "" when not root
    std::string tlsOptions_; // the server's TLS settings for pg_ctl's -o, "" without TLS
};

} // namespace ks_test
