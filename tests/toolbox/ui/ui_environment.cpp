// Starts the UI run-time once for the toolbox's UI suites (headless: QT_QPA_PLATFORM=offscreen).
#include <gtest/gtest.h>

#include "platform/runtime.h"

namespace {

class RuntimeEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_EQ(InitRuntime(0, nullptr, 0), 1); }
};

const ::testing::Environment *const kRuntime =
    ::testing::AddGlobalTestEnvironment(new RuntimeEnvironment);

} // namespace
