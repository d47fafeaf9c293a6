// Standard input as a supply of go-aheads for the simulator's --step mode: each line read lets
// one more step happen, so that a driving program (a test) sets the pace from what it observes.
#pragma once

#include <csignal>

namespace ks_sim {

class StepInput {
  public:
    explicit StepInput(int fd) : fd_(fd) {}

    // Waits until a line is at hand (true), or until the input has ended or *stop became non-zero
    // (false). The line stays at hand until take().
    bool await(const volatile std::sig_atomic_t *stop);
    void take();

  private:
    int fd_;
    long lines_ = 0;
    bool ended_ = false;
};

} // namespace ks_sim
