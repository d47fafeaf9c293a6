// Shared set-up of the run-time suites: one Qt application per process, the callback table the
// test resources bind, recorded events, and panels discarded after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/runtime.h"
#include "platform/testing.h"
#include "tests/support/temp_dir.h"

namespace rtt {

struct Event {
    int handle;
    int item;
    int event;
};

// What the callbacks of the test resources saw, in order.
struct Log {
    std::vector<Event> ctrl;
    std::vector<Event> panel;
    std::vector<Event> menu;
    std::vector<Event> main;
    void clear() { *this = Log{}; }
};
Log &log();

std::string dataFile(const char *name);

using ks_test::TempDir;

class RuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Loads a panel of the test resource and discards it after the test.
    int load(int id, const char *file = nullptr);
    int keep(int panel) {
        panels_.push_back(panel);
        return panel;
    }

  private:
    std::vector<int> panels_;
};

} // namespace rtt
