#pragma once

#include "XSession.h"

#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace ondrake::test {

// A test on a screen of its parameter's size (`pixels`) with a window manager, the test's own
// view of the server and a person's keyboard and mouse on it; skipped where the desktop programs
// are missing.
template<typename Param>
class ManagedDesktopTest : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        if (const auto missing = missingDesktopPrograms()) GTEST_SKIP() << missing->toStdString();
        server = std::make_unique<XServer>(this->GetParam().pixels);
        ASSERT_TRUE(server->isRunning());
        manager = std::make_unique<WindowManager>(*server);
        ASSERT_TRUE(manager->isRunning());
        x = std::make_unique<XInspector>(*server);
        input = std::make_unique<XInput>(*server);
        ASSERT_TRUE(x->isConnected());
    }

    std::unique_ptr<XServer> server;
    std::unique_ptr<WindowManager> manager;
    std::unique_ptr<XInspector> x;
    std::unique_ptr<XInput> input;
    QTemporaryDir home;
};

}  // namespace ondrake::test
