#include "Overlay/SafariChromeScoring.h"
#include "SimulatedAccessibilityTree.h"

#include <benchmark/benchmark.h>

using namespace ondrake;

namespace {

using Element = SimulatedAccessibilityTree::Element;

// A Safari window of 2,000 elements on a 1000-point screen: toolbar, tab row with 60 tabs, a
// sidebar of nested groups and rows, and web content. With `identified` the row carries the
// browser's identifier, which ends the walk; without it the walk runs to its visit budget.
struct LargeWindow {
    static constexpr int kElements = 2000;
    SimulatedAccessibilityTree tree;
    Element window = tree.add(QStringLiteral("AXWindow")).frame({100, 50, 1200, 800});

    explicit LargeWindow(bool identified) {
        std::vector<Element> toolbarItems;
        for (int i = 0; i < 20; ++i)
            toolbarItems.push_back(tree.add(i % 4 ? "AXButton" : "AXGroup").frame({100.0 + 40 * i, 62, 28, 28}));
        auto toolbar = tree.add(QStringLiteral("AXToolbar")).frame({100, 50, 1200, 52}).children(toolbarItems);

        std::vector<Element> buttons;
        AXValue::Array tabs;
        for (int i = 0; i < 60; ++i) {
            buttons.push_back(tree.add(QStringLiteral("AXRadioButton")).subrole("AXTabButton").frame({100.0 + 20 * i, 102, 20, 28}));
            tabs.emplace_back(buttons.back().ref());
        }
        auto row = tree.add(QStringLiteral("AXTabGroup")).frame({100, 102, 1200, 28}).children(buttons);
        row.set(QStringLiteral("AXTabs"), tabs).description(QStringLiteral("tab bar"));
        if (identified) row.identifier(QStringLiteral("TabBar"));

        // Sidebar: 30 sections of 30 rows, each row with a cell holding a text.
        std::vector<Element> sections;
        for (int s = 0; s < 30; ++s) {
            std::vector<Element> rows;
            for (int r = 0; r < 30; ++r) {
                auto text = tree.add(QStringLiteral("AXStaticText")).frame({110, 140.0 + 20 * r, 180, 18});
                rows.push_back(tree.add(QStringLiteral("AXRow")).frame({100, 140.0 + 20 * r, 200, 20}).children({text}));
            }
            sections.push_back(tree.add(QStringLiteral("AXGroup")).frame({100, 140, 200, 600}).children(rows));
        }
        auto sidebar = tree.add(QStringLiteral("AXSplitGroup")).frame({100, 130, 200, 720}).children(sections);

        std::vector<Element> page;
        while (int(tree.size()) < kElements - 2) page.push_back(tree.add(QStringLiteral("AXStaticText")).frame({320, 200, 900, 18}));
        auto web = tree.add(QStringLiteral("AXWebArea")).frame({300, 130, 1000, 720}).children(page);
        auto content = tree.add(QStringLiteral("AXScrollArea")).frame({300, 130, 1000, 720}).children({web});
        window.children({toolbar, sidebar, row, content});
    }

    SafariFocusedWindow focused() const { return {{window.ref()}, QRectF(100, 150, 1200, 800), false, false}; }
};

void BM_DetectTabRow(benchmark::State &state) {
    const LargeWindow large(state.range(0) != 0);
    const auto window = large.focused();
    if (SafariChromeScoring::detect(window, QStringLiteral("17.4"), 1000.0).kind() !=
        SafariChromeScoring::Detection::Kind::located)
        state.SkipWithError("the row was not found");
    for (auto _ : state) {
        auto detection = SafariChromeScoring::detect(window, QStringLiteral("17.4"), 1000.0);
        benchmark::DoNotOptimize(detection);
    }
    state.counters["elements"] = double(large.tree.size());
}
// 1: the row names itself and ends the walk; 0: the walk runs to its visit budget.
BENCHMARK(BM_DetectTabRow)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
