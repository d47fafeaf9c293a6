// The tester's end of the serial line: a pseudo-terminal whose slave the receiver opens through
// the link <folder>/COM<n>, or a real serial device at 9600 baud 8N1, and the paced sender.
#pragma once

#include <csignal>
#include <string>

namespace ks_sim {

// 9600 baud, 8N1: ten bit times per byte.
inline constexpr double kWireBytesPerSecond = 960.0;

class Wire {
  public:
    Wire() = default;
    ~Wire();
    Wire(const Wire &) = delete;
    Wire &operator=(const Wire &) = delete;

    // A new pseudo-terminal, raw on both sides. False with *error set on failure.
    bool openPty(std::string *error);
    // A real device in raw mode, 9600 baud 8N1, no flow control.
    bool openDevice(const std::string &path, std::string *error);
    void close();

    bool isOpen() const { return fd_ >= 0; }
    // The path the receiver opens: the pty's slave, or the device.
    const std::string &peerPath() const { return peerPath_; }

    enum class SendResult { Sent, Blocked, Stopped, Failed };
    // Sends bytes, at the line's speed when paced. Blocked when the receiver has not taken them
    // for two seconds (the rest is dropped, as on a line nobody listens to); Stopped when *stop
    // became non-zero.
    SendResult send(const std::string &bytes, bool paced, const volatile std::sig_atomic_t *stop);

    // Waits until the receiver has read everything sent (a pty) or the device has sent it, at
    // most maxSeconds. True when drained.
    bool drain(double maxSeconds, const volatile std::sig_atomic_t *stop);

    // A pty reports each time the receiver discards its unread input (a flush of the slave's input
    // queue). forgetDiscards drops the reports so far; awaitDiscard waits, at most maxSeconds,
    // for the next one. Both need a pty: awaitDiscard is false at once on a device.
    void forgetDiscards();
    bool awaitDiscard(double maxSeconds, const volatile std::sig_atomic_t *stop);
    bool isPty() const { return pty_; }

  private:
    int fd_ = -1;
    int peerFd_ = -1; // our own handle on the pty slave: it shows how much the receiver has left
    bool pty_ = false;
    std::string peerPath_;
};

// The link <folder>/COM<port> -> target. Created atomically (a temporary link renamed into
// place, replacing an older link but never a file or folder), removed only while it still points
// to our target.
class PortLink {
  public:
    PortLink(std::string folder, int port);
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    bool create(const std::string &target, std::string *error);
    void remove();
    const std::string &path() const { return path_; }

  private:
    std::string path_;
    std::string target_;
};

// Sleeps for seconds, returning early (false) once *stop is non-zero.
bool sleepUnlessStopped(double seconds, const volatile std::sig_atomic_t *stop);
double monotonicNow();

} // namespace ks_sim
