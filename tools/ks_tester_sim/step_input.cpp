// See step_input.h.
#include "tools/ks_tester_sim/step_input.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace ks_sim {

bool StepInput::await(const volatile std::sig_atomic_t *stop) {
    char buffer[256];
    while (lines_ == 0 && !ended_) {
        if (stop != nullptr && *stop) return false;
        // Short slices, so that a signal is noticed promptly.
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) ended_ = true;
        for (ssize_t i = 0; i < n; ++i)
            lines_ += buffer[i] == '\n' ? 1 : 0;
    }
    return lines_ > 0 && !(stop != nullptr && *stop);
}

void StepInput::take() {
    if (lines_ > 0) --lines_;
}

} // namespace ks_sim
