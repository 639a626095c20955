// Runs a test executable with Qt's offscreen platform and with every store
// of the program pointed at a private temporary folder.

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/scoped_env.h"

#ifdef TALQ_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testsupport::ScopedUserStores stores;
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
