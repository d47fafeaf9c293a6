#include "tests/support/qt_core_environment.h"

#include <QCoreApplication>

namespace ks_test {

void QtCoreEnvironment::SetUp() {
    static int argc = 1;
    static char name[] = "ks_test";
    static char *argv[] = {name, nullptr};
    app_ = new QCoreApplication(argc, argv);
}

void QtCoreEnvironment::TearDown() {
    delete app_;
    app_ = nullptr;
}

} // namespace ks_test
