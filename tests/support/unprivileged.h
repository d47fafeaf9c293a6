// While alive, the process acts as an unprivileged user when it started as root, so that
// read-only files and folders are read-only to it too.
#pragma once

namespace ks_test {

class Unprivileged {
  public:
    Unprivileged(); // throws when root cannot drop its rights
    ~Unprivileged();
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

  private:
    bool dropped_ = false;
};

} // namespace ks_test
