#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QApplication>

#include <gtest/gtest.h>

// For test programs that make widgets, which need a full application object. Listing the tests
// for CTest runs without the tests' environment, so widgets draw offscreen unless told otherwise.
int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ondrake::SymbolCatalog::installIconTheme();
    return RUN_ALL_TESTS();
}
