#include <QApplication>

#include <gtest/gtest.h>

// The shell's tests make widgets, which need a full application object rather than a core one.
int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
