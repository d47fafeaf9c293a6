// Helpers shared by the sources of ks_platform_io; not part of the run-time's interface.
#pragma once

#include <cstddef>
#include <string>
#include <unistd.h>
#include <vector>

namespace ks_io {

// Highest port number the serial services take.
constexpr int kMaxComPort = 1000;

// Owns a POSIX file descriptor and closes it when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : fd_(other.release()) {}
    Fd &operator=(Fd &&other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

// The run-time's file error code for an errno value.
int errnoToError(int error);
// Copies text with its terminator into buffer; RT_ERR_INVALID_VALUE (and an empty buffer) when it
// does not fit, never a cut path.
int copyOut(const std::string &text, char *buffer, size_t bufferSize);
// The folder of the running executable (/proc/self/exe), which tests cannot redirect; "" when
// unknown.
std::string executableDir();
// Program folder and legacy root as the public getters report them ("" when unknown).
std::string programDir();
std::string legacyRoot();

// The platform's serial devices in port order (port n is element n - 1): USB adapters first
// (the links of <devRoot>/serial/by-id sorted by name, then ttyACM* and ttyUSB* nodes that no
// such link reaches, in name and number order), then the built-in ttyS<k> whose
// <sysRoot>/class/tty/ttyS<k>/type is not 0 (a UART is present), k ascending. The roots are
// "/dev" and "/sys" except in tests.
std::vector<std::string> platformSerialDevices(const std::string &devRoot = "/dev",
                                               const std::string &sysRoot = "/sys");

// The path port n opens: deviceName when it is not empty (a bare name is looked up in /dev),
// else a test mapping, else <program folder>/COM<n> when such a link or node exists (even when it
// dangles: the tester may be restarting), else the n-th platform device. "" when there is none.
std::string portPath(int port, const char *deviceName);

} // namespace ks_io
