#include "Ondrake/Sidebar/SymbolCatalog.h"

#include <QApplication>

#include <gtest/gtest.h>

// The panes are widgets and need a full application object; listing the tests runs without the
// tests' environment, so the offscreen platform is the default here.
int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ondrake::SymbolCatalog::installIconTheme();
    return RUN_ALL_TESTS();
}
