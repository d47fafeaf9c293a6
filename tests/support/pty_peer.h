// Test support: the far end of a pseudo-terminal, playing the tester for the serial tests, and a
// QCoreApplication for the whole test program (Qt SerialPort's notifiers want one).
#pragma once

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

class PtyPeer {
  public:
    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal");
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
        slave_ = name;
    }
    ~PtyPeer() { close(); }
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    const std::string &slave() const { return slave_; }

    void send(const std::string &bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw std::runtime_error("pty write failed");
            done += static_cast<size_t>(n);
        }
    }
    // Reads what the other end sent until `last` arrives or `seconds` pass.
    std::string receiveUntil(const std::string &last, double seconds) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (got.find(last) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char buffer[512];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }
    // Closing the master is what a receiver sees as the device vanishing.
    void close() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

class QtCoreEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "serial_test";
        static char *argv[] = {name, nullptr};
        app_ = new QCoreApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

  private:
    QCoreApplication *app_ = nullptr;
};
