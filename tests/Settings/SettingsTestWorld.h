#pragma once

#include "Browser/AutomationPermission.h"
#include "Browser/MockSafariController.h"
#include "ManualScheduler.h"
#include "ScriptedHttpClient.h"
#include "Settings/SettingsPanelGeometry.h"
#include "Shell/UpdateController.h"
#include "SimulatedPrivacy.h"
#include "SimulatedUpdater.h"
#include "SimulatedWorkspace.h"
#include "Store/TabStore.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace ondrake::test {

// What the settings window edits: a store over an in-memory browser, in-memory user defaults,
// an updater without a feed, and a sidebar panel whose rail width and corner radius the test
// holds. Widgets are the test's to make.
struct SettingsWorld {
    TemporaryPaths folders;
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedPrivacy privacy{workspace};
    UserDefaults defaults;
    AutomationPermission permission{workspace, privacy, defaults};
    MockSafariController browser{BrowserCapabilities{0x2C3E3}, {}};
    std::shared_ptr<ScriptedHttpClient> http = std::make_shared<ScriptedHttpClient>();
    Environment environment;
    std::unique_ptr<TabStore> store;

    SimulatedUpdater *updater = nullptr;  // owned by `updates`
    int activations = 0;
    std::unique_ptr<UpdateController> updates;

    // The panel's two values as a window controller would keep them.
    double compactWidth = 64;
    double cornerRadius = 20;
    std::vector<double> compactWidthWrites;
    std::vector<double> cornerRadiusWrites;

    explicit SettingsWorld(Environment env = {}) : environment(std::move(env)) {
        store = std::make_unique<TabStore>(browser, TabRecordFileStore(folders.paths(), Logger(QStringLiteral("Persistence"))),
                                           TabStore::Services{scheduler, workspace, permission, defaults,
                                                              folders.paths(), http, environment});
        auto simulated = std::make_unique<SimulatedUpdater>(scheduler);
        updater = simulated.get();
        updates = std::make_unique<UpdateController>(std::move(simulated), [this] { ++activations; });
    }

    SettingsPanelGeometry geometry() {
        SettingsPanelGeometry g;
        g.getCompactWidth = [this] { return compactWidth; };
        g.setCompactWidth = [this](double w) {
            compactWidthWrites.push_back(w);
            compactWidth = std::clamp(w, 48.0, 120.0);
        };
        g.getCornerRadius = [this] { return cornerRadius; };
        g.setCornerRadius = [this](double r) {
            cornerRadiusWrites.push_back(r);
            cornerRadius = std::clamp(r, 0.0, 40.0);
        };
        return g;
    }
};

// A click where a check box draws its box, which is what it answers to.
inline void clickToggle(QAbstractButton *toggle) {
    ASSERT_NE(toggle, nullptr);
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(8, toggle->height() / 2));
}

// Saves what a widget draws under the build folder's screenshots/, for a person to look at.
inline void saveScreenshot(QWidget &widget, const QString &name) {
    const QString dir = QStringLiteral(ONDRAKE_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) << name.toStdString();
}

}  // namespace ondrake::test
