#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QApplication>

#include <gtest/gtest.h>

// The bar and the calibration window are widgets, which need a QApplication; with main defined
// here the shared main of the test support library is not linked in.
int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests for CTest runs without the tests' environment; widgets draw offscreen always.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ondrake::SymbolCatalog::installIconTheme();
    return RUN_ALL_TESTS();
}
