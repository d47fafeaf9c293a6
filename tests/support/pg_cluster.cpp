#include "tests/support/pg_cluster.h"

#include "tests/support/paths.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace ks_test {

namespace {

// The newest installed server's programs, or "".
std::string ServerBin() {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(entry.path() / "bin" / "initdb") &&
            fs::exists(entry.path() / "bin" / "pg_ctl"))
            found.push_back(entry.path().string());
    if (found.empty()) return "";
    std::sort(found.begin(), found.end(), [](const std::string &a, const std::string &b) {
        return std::atoi(fs::path(a).filename().c_str()) <
               std::atoi(fs::path(b).filename().c_str());
    });
    return found.back() + "/bin";
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

std::string Quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

bool PgCluster::Available() {
    return !ServerBin().empty() && std::system("command -v psql >/dev/null 2>&1") == 0;
}

PgCluster::PgCluster() {
    bin_ = ServerBin();
    if (bin_.empty()) throw std::runtime_error("the PostgreSQL server is not installed");
    char pattern[] = "/tmp/ks_pg_XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    folder_ = pattern;
    data_ = folder_ + "/data";
    sockets_ = folder_ + "/sockets";
    fs::create_directories(sockets_);
    fs::create_directories(data_);
    if (::geteuid() == 0) {
        const passwd *account = ::getpwnam("postgres");
        if (!account) account = ::getpwnam("nobody");
        if (!account) throw std::runtime_error("no account to run the server as");
        user_ = account->pw_name;
        fs::permissions(folder_,
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        for (const auto &dir : {data_, sockets_})
            if (::chown(dir.c_str(), account->pw_uid, account->pw_gid) != 0)
                throw std::runtime_error("cannot give the cluster's folder to " + user_);
    }
    const CommandResult made =
        runCommand(AsServerUser(bin_ + "/initdb -D " + Quote(data_) + " -U " + kAdmin +
                                " -E UTF8 --locale=C.UTF-8 --auth-local=trust"
                                " --auth-host=scram-sha-256 --no-sync"));
    if (made.status != 0) throw std::runtime_error("initdb failed: " + made.output);
    port_ = FreePort();
    Start();
}

PgCluster::~PgCluster() {
    Stop();
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::string PgCluster::AsServerUser(const std::string &command) const {
    return user_.empty() ? command : "runuser -u " + user_ + " -- " + command;
}

void PgCluster::Start() {
    if (running_) return;
    const std::string options = "-p " + std::to_string(port_) + " -k " + sockets_ +
                                " -c listen_addresses=127.0.0.1 -c fsync=off" + tlsOptions_;
    const CommandResult started =
        runCommand(AsServerUser(bin_ + "/pg_ctl -D " + Quote(data_) + " -o " + Quote(options) +
                                " -l " + Quote(sockets_ + "/server.log") + " -w -t 60 start"));
    if (started.status != 0) {
        const CommandResult log = runCommand("cat " + Quote(sockets_ + "/server.log"));
        throw std::runtime_error("the server did not start: " + started.output + log.output);
    }
    running_ = true;
}

void PgCluster::Stop() {
    if (!running_) return;
    runCommand(AsServerUser(bin_ + "/pg_ctl -D " + Quote(data_) + " -m fast -w -t 60 stop"));
    running_ = false;
}

std::string PgCluster::ConnectionString(const std::string &user, const std::string &password,
                                        const std::string &database) const {
    return "host=" + host_ + " port=" + std::to_string(port_) + " dbname=" + database +
           " user=" + user + " password=" + password + " connect_timeout=5";
}

std::string PgCluster::Psql(const std::string &database) const {
    return "psql -X -q -At -v ON_ERROR_STOP=1 -h " + Quote(sockets_) + " -p " +
           std::to_string(port_) + " -U " + kAdmin + " -d " + Quote(database);
}

CommandResult PgCluster::Sql(const std::string &sql, const std::string &database) const {
    return runCommand(Psql(database) + " -c " + Quote(sql));
}

CommandResult PgCluster::SqlFile(const std::string &path, const std::string &database) const {
    return runCommand(Psql(database) + " -f " + Quote(path));
}

void PgCluster::MakeWorkshopDatabase(const std::string &database) const {
    CommandResult made = Sql("CREATE DATABASE " + database);
    if (made.status == 0) made = SqlFile(sourcePath("workshop/server_schema.sql"), database);
    if (made.status != 0) throw std::runtime_error("cannot make " + database + ": " + made.output);
}

std::string PgCluster::MakeCertificateAuthority(const std::string &name) const {
    const std::string base = folder_ + "/ca-" + name;
    const CommandResult made = runCommand(
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
        " -subj " +
        Quote("/CN=ks test authority " + name) +
        " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign"
        " -keyout " +
        Quote(base + ".key") + " -out " + Quote(base + ".crt") + " 2>&1");
    if (made.status != 0) throw std::runtime_error("openssl (authority) failed: " + made.output);
    return base + ".crt";
}

void PgCluster::EnableTls(const std::string &authority) {
    const std::string ca = folder_ + "/ca-" + authority;
    const std::string tls = folder_ + "/tls";
    fs::create_directories(tls);
    {
        std::ofstream names(tls + "/names.cnf");
        names << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    }
    const CommandResult made = runCommand(
        "openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "
        "/CN=localhost"
        " -keyout " +
        Quote(tls + "/server.key") + " -out " + Quote(tls + "/server.csr") +
        " 2>&1 && openssl x509 -req -days 2 -in " + Quote(tls + "/server.csr") + " -CA " +
        Quote(ca + ".crt") + " -CAkey " + Quote(ca + ".key") + " -CAcreateserial -extfile " +
        Quote(tls + "/names.cnf") + " -out " + Quote(tls + "/server.crt") + " 2>&1");
    if (made.status != 0) throw std::runtime_error("openssl (server) failed: " + made.output);
    // The server refuses a key others may read, and must own it.
    fs::permissions(tls + "/server.key", fs::perms::owner_read | fs::perms::owner_write);
    if (!user_.empty()) {
        const passwd *account = ::getpwnam(user_.c_str());
        for (const std::string &path : {tls, tls + "/server.key", tls + "/server.crt"})
            if (!account || ::chown(path.c_str(), account->pw_uid, account->pw_gid) != 0)
                throw std::runtime_error("cannot give the server's certificate to " + user_);
    }
    tlsOptions_ =
        " -c ssl=on -c ssl_cert_file=" + tls + "/server.crt -c ssl_key_file=" + tls + "/server.key";
    Stop();
    Start();
}

void PgCluster::MakeLoginRole(const std::string &name, const std::string &password,
                              const std::string &group, const std::string &database) const {
    const CommandResult made =
        Sql("CREATE ROLE " + name + " LOGIN PASSWORD '" + password + "' IN ROLE " + group +
                "; GRANT CONNECT ON DATABASE " + database + " TO " + group,
            database);
    if (made.status != 0) throw std::runtime_error("cannot make role " + name + ": " + made.output);
}

} // namespace ks_test
