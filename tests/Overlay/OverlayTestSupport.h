#pragma once

#include "ManualScheduler.h"
#include "Overlay/SafariFocusedWindow.h"
#include "SimulatedAccessibility.h"
#include "SimulatedAccessibilityTree.h"
#include "SimulatedPrivacy.h"
#include "SimulatedSafari.h"
#include "SimulatedWorkspace.h"

#include <QStringList>

namespace ondrake::test {

// The first screen of every test world is this tall.
inline constexpr double kScreenHeight = 1000;

// A simulated world whose process is trusted for Accessibility, with Safari not yet running.
struct OverlayWorld {
    ManualScheduler scheduler;
    SimulatedWorkspace workspace{scheduler};
    SimulatedSafari safari{workspace};
    SimulatedPrivacy privacy{workspace};
    SimulatedAccessibility accessibility{scheduler, safari, privacy};

    OverlayWorld() { privacy.setTrusted(true); }

    // Tabs titled by `names`, the first current, at `bounds` (top-left origin).
    static SimulatedSafari::Window window(std::int64_t id, const QStringList &names,
                                          SimulatedSafari::Bounds bounds = {100, 50, 1300, 850}) {
        SimulatedSafari::Window w;
        w.id = id;
        w.bounds = bounds;
        for (const auto &n : names) w.tabs.push_back({n, QStringLiteral("https://%1.example/").arg(n)});
        return w;
    }
};

// A Safari window built by hand: top-left frame (100, 50, 1200, 800) on a 1000-point screen,
// so its screen frame is (100, 150, 1200, 800) with its top edge at y 950.
struct HandBuiltWindow {
    static inline const QRectF topLeftFrame{100, 50, 1200, 800};
    static inline const QRectF screenFrame{100, 150, 1200, 800};

    SimulatedAccessibilityTree tree;
    SimulatedAccessibilityTree::Element window = tree.add(QStringLiteral("AXWindow")).frame(topLeftFrame);

    // A toolbar across the window's top, `height` tall.
    SimulatedAccessibilityTree::Element toolbar(double height = 52) {
        return tree.add(QStringLiteral("AXToolbar")).frame({100, 50, 1200, height});
    }
    // A tab row `fromTop` below the window's top edge, with tab buttons, the tabs attribute and
    // the identifier the browser gives it.
    SimulatedAccessibilityTree::Element tabRow(double fromTop = 52, const QString &identifier = QStringLiteral("TabBar"),
                                               int tabs = 3) {
        std::vector<SimulatedAccessibilityTree::Element> buttons;
        AXValue::Array refs;
        for (int i = 0; i < tabs; ++i) {
            buttons.push_back(tree.add(QStringLiteral("AXRadioButton"))
                                  .subrole(QStringLiteral("AXTabButton"))
                                  .frame({100.0 + 400 * i, 50 + fromTop, 400, 28}));
            refs.emplace_back(buttons.back().ref());
        }
        auto row = tree.add(QStringLiteral("AXTabGroup")).frame({100, 50 + fromTop, 1200, 28}).children(buttons);
        row.set(QStringLiteral("AXTabs"), refs);
        if (!identifier.isEmpty()) row.identifier(identifier);
        return row;
    }
    SafariFocusedWindow focused() const { return {{window.ref()}, screenFrame, false, false}; }
};

}  // namespace ondrake::test
