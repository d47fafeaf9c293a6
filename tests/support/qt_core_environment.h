// One QCoreApplication for the whole test program, for code whose Qt notifiers want one (the
// serial port). Register it with ::testing::AddGlobalTestEnvironment.
#pragma once

#include <gtest/gtest.h>

class QCoreApplication;

namespace ks_test {

class QtCoreEnvironment : public ::testing::Environment {
  public:
    void SetUp() override;
    void TearDown() override;

  private:
    QCoreApplication *app_ = nullptr;
};

} // namespace ks_test
