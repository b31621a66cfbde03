#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widgets need a QApplication; with main defined here the shared main of the test support library
// is not linked in.
int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ondrake::SymbolCatalog::installIconTheme();
    return RUN_ALL_TESTS();
}
