// Test support: a private temporary folder under /tmp that is removed with everything in it,
// and a guard that drops root's privileges so that permission checks apply.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/ks_serial_test.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void writeText(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string readText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// While alive, the process acts as an unprivileged user when it started as root, so that
// read-only files and folders are read-only to it too.
class Unprivileged {
  public:
    Unprivileged() {
        if (::geteuid() == 0) {
            if (::setegid(65534) != 0 || ::seteuid(65534) != 0)
                throw std::runtime_error("cannot drop privileges");
            dropped_ = true;
        }
    }
    ~Unprivileged() {
        if (dropped_) {
            if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
        }
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

  private:
    bool dropped_ = false;
};
