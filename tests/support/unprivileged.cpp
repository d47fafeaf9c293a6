#include "tests/support/unprivileged.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace ks_test {

namespace {
const uid_t kNobody = 65534;
}

Unprivileged::Unprivileged() {
    if (::geteuid() == 0) {
        if (::setegid(kNobody) != 0 || ::seteuid(kNobody) != 0)
            throw std::runtime_error("cannot drop privileges");
        dropped_ = true;
    }
}

Unprivileged::~Unprivileged() {
    if (dropped_) {
        if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
    }
}

} // namespace ks_test
