// Helpers shared by the sources of ks_platform_io; not part of the run-time's interface.
#pragma once

#include <cstddef>
#include <string>
#include <unistd.h>

namespace ks_io {

// Owns a POSIX file descriptor and closes it when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd(Fd &&other) noexcept : fd_(other.release()) {}
    Fd &operator=(Fd &&other) noexcept {
        if (this != &other)
            reset(other.release());
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
        if (fd_ >= 0)
            ::close(fd_);
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
// Program folder and legacy root as the public getters report them ("" when unknown).
std::string programDir();
std::string legacyRoot();

} // namespace ks_io
