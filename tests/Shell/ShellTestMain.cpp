#include <QApplication>

#include <gtest/gtest.h>

// The shell's tests make widgets, which need a full application object rather than a core one.
// Listing the tests happens without the test environment, so the offscreen platform is the
// default here too.
int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
