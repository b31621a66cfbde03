#pragma once

#include "Settings/SettingsPanelGeometry.h"
#include "Settings/UpdateController.h"
#include "SimulatedUpdater.h"
#include "Screenshots.h"
#include "StoreTestSupport.h"

#include <QAbstractButton>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace ondrake::test {

// What the settings window edits: a store over a browser under the test's hand, in-memory user
// defaults, an updater without a feed, and a sidebar panel whose rail width and corner radius the
// test holds. Widgets are the test's to make.
struct SettingsWorld : StoreWorld {
    std::unique_ptr<TabStore> store;

    SimulatedUpdater *updater = nullptr;  // owned by `updates`
    int activations = 0;
    std::unique_ptr<UpdateController> updates;

    // The panel's two values as a window controller would keep them.
    double compactWidth = 64;
    double cornerRadius = 20;
    std::vector<double> compactWidthWrites;
    std::vector<double> cornerRadiusWrites;

    explicit SettingsWorld(Environment env = {}) {
        environment = std::move(env);
        store = makeStore();
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

}  // namespace ondrake::test
