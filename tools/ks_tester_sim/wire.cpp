// Pseudo-terminal, device and link handling of the tester simulator; see wire.h.
#include "tools/ks_tester_sim/wire.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace ks_sim {

namespace {

// How long a receiver may leave the line's buffer full before the sender gives up on it.
constexpr double kBlockedSeconds = 2.0;
// Consecutive empty-queue checks, 20 ms apart, that count as drained.
constexpr int kDrainChecks = 5;

bool makeRaw(int fd, bool setSpeed) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (setSpeed && (::cfsetispeed(&t, B9600) != 0 || ::cfsetospeed(&t, B9600) != 0)) return false;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string errorText(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

double monotonicNow() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool sleepUnlessStopped(double seconds, const volatile std::sig_atomic_t *stop) {
    const double end = monotonicNow() + seconds;
    for (;;) {
        if (stop != nullptr && *stop) return false;
        const double left = end - monotonicNow();
        if (left <= 0.0) return true;
        // Short slices, so that a signal is noticed promptly even if it lands between checks.
        const double slice = std::min(left, 0.1);
        timespec ts{static_cast<time_t>(slice),
                    static_cast<long>((slice - static_cast<time_t>(slice)) * 1e9)};
        ::nanosleep(&ts, nullptr);
    }
}

Wire::~Wire() {
    close();
}

bool Wire::openPty(std::string *error) {
    close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        *error = errorText("posix_openpt");
        return false;
    }
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        *error = errorText("pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    const int peer = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Packet mode: the master then also reports when the receiver flushes its input.
    int packetMode = 1;
    if (peer < 0 || !makeRaw(peer, true) || !makeRaw(master, false) ||
        ::ioctl(master, TIOCPKT, &packetMode) != 0) {
        *error = errorText("raw mode");
        if (peer >= 0) ::close(peer);
        ::close(master);
        return false;
    }
    fd_ = master;
    peerFd_ = peer;
    pty_ = true;
    peerPath_ = name;
    return true;
}

bool Wire::openDevice(const std::string &path, std::string *error) {
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errorText(path.c_str());
        return false;
    }
    if (!makeRaw(fd, true)) {
        *error = errorText("line settings");
        ::close(fd);
        return false;
    }
    fd_ = fd;
    pty_ = false;
    peerPath_ = path;
    return true;
}

void Wire::close() {
    if (peerFd_ >= 0) ::close(peerFd_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = peerFd_ = -1;
    peerPath_.clear();
}

Wire::SendResult Wire::send(const std::string &bytes, bool paced,
                            const volatile std::sig_atomic_t *stop) {
    if (fd_ < 0) return SendResult::Failed;
    const double start = monotonicNow();
    double lastProgress = start;
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (stop != nullptr && *stop) return SendResult::Stopped;
        size_t due = bytes.size();
        if (paced) {
            const double elapsed = monotonicNow() - start;
            due = std::min(bytes.size(), static_cast<size_t>(elapsed * kWireBytesPerSecond) + 1);
            if (due <= sent) {
                const double next = start + static_cast<double>(sent) / kWireBytesPerSecond;
                sleepUnlessStopped(std::max(next - monotonicNow(), 0.0), stop);
                continue;
            }
        }
        const ssize_t n = ::write(fd_, bytes.data() + sent, due - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            lastProgress = monotonicNow();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return SendResult::Failed;
        if (monotonicNow() - lastProgress > kBlockedSeconds) return SendResult::Blocked;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
    return SendResult::Sent;
}

bool Wire::drain(double maxSeconds, const volatile std::sig_atomic_t *stop) {
    if (fd_ < 0) return true;
    const double end = monotonicNow() + maxSeconds;
    // Bytes written to a pty master reach the slave's queue a moment later, so an empty queue
    // only counts once it has stayed empty for a few checks in a row.
    int emptyChecks = 0;
    while (emptyChecks < kDrainChecks) {
        int left = 0;
        if (pty_) {
            if (::ioctl(peerFd_, FIONREAD, &left) != 0) return true;
        } else if (::ioctl(fd_, TIOCOUTQ, &left) != 0) {
            return true;
        }
        emptyChecks = left == 0 ? emptyChecks + 1 : 0;
        if (monotonicNow() >= end || !sleepUnlessStopped(0.02, stop)) return false;
    }
    return true;
}

namespace {

// Reads what the master has for us in packet mode: status bytes, or data the receiver wrote
// (which nobody needs). True when a status byte reported a flush of the receiver's input.
bool readPackets(int master) {
    bool flushed = false;
    char packet[512];
    ssize_t n;
    while ((n = ::read(master, packet, sizeof packet)) > 0)
        if (packet[0] != TIOCPKT_DATA && (packet[0] & TIOCPKT_FLUSHREAD) != 0) flushed = true;
    return flushed;
}

} // namespace

void Wire::forgetDiscards() {
    if (pty_ && fd_ >= 0) readPackets(fd_);
}

bool Wire::awaitDiscard(double maxSeconds, const volatile std::sig_atomic_t *stop) {
    if (!pty_ || fd_ < 0) return false;
    const double end = monotonicNow() + maxSeconds;
    for (;;) {
        if (readPackets(fd_)) return true;
        if (stop != nullptr && *stop) return false;
        const double left = end - monotonicNow();
        if (left <= 0.0) return false;
        // Short slices, so that a signal is noticed promptly.
        pollfd p{fd_, POLLIN | POLLPRI, 0};
        ::poll(&p, 1, static_cast<int>(std::min(left, 0.1) * 1000.0) + 1);
    }
}

PortLink::PortLink(std::string folder, int port)
    : path_(std::move(folder) + "/COM" + std::to_string(port)) {}

PortLink::~PortLink() {
    remove();
}

bool PortLink::create(const std::string &target, std::string *error) {
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = path_ + " exists and is not a link; not replacing it";
        return false;
    }
    const std::string temp = path_ + ".new." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        *error = errorText(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path_.c_str()) != 0) {
        *error = errorText(path_.c_str());
        ::unlink(temp.c_str());
        return false;
    }
    target_ = target;
    return true;
}

void PortLink::remove() {
    if (target_.empty()) return;
    char current[PATH_MAX];
    const ssize_t n = ::readlink(path_.c_str(), current, sizeof current - 1);
    if (n > 0 && std::string(current, static_cast<size_t>(n)) == target_) ::unlink(path_.c_str());
    target_.clear();
}

} // namespace ks_sim
