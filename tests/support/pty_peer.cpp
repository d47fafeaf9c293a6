#include "tests/support/pty_peer.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <thread>
#include <termios.h>
#include <unistd.h>

namespace ks_test {

PtyPeer::PtyPeer(Device device) {
    controller_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (controller_ < 0 || ::grantpt(controller_) != 0 || ::unlockpt(controller_) != 0 ||
        ::ptsname_r(controller_, name, sizeof name) != 0) {
        close();
        throw std::runtime_error("no pseudo-terminal");
    }
    // Raw mode: bytes pass unchanged (no echo, no line-end translation). On the controlling
    // side the settings apply to the device side.
    termios t{};
    ::tcgetattr(controller_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(controller_, TCSANOW, &t);
    devicePath_ = name;
    if (device == Device::Held) {
        heldDevice_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (heldDevice_ < 0) {
            close();
            throw std::runtime_error("cannot hold the pseudo-terminal's device side");
        }
    }
}

PtyPeer::~PtyPeer() {
    close();
}

void PtyPeer::send(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(controller_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error("pty write failed");
        done += static_cast<size_t>(n);
    }
}

bool PtyPeer::waitUntilQueued(size_t bytes, double seconds) {
    if (heldDevice_ < 0) return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int queued = 0;
        if (::ioctl(heldDevice_, FIONREAD, &queued) == 0 && queued >= 0 &&
            static_cast<size_t>(queued) >= bytes)
            return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string PtyPeer::receiveUntil(const std::string &last, double seconds) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (got.find(last) == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd p{controller_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(controller_, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

void PtyPeer::close() {
    if (heldDevice_ >= 0) ::close(heldDevice_);
    if (controller_ >= 0) ::close(controller_);
    heldDevice_ = -1;
    controller_ = -1;
}

} // namespace ks_test
