#include "OverlayTestSupport.h"

#include "Log.h"
#include "Overlay/SafariChromeScoring.h"

#include <gtest/gtest.h>

#include <limits>

using namespace ondrake;
using namespace ondrake::test;
using Element = SimulatedAccessibilityTree::Element;
using Kind = SafariChromeScoring::Detection::Kind;

namespace {

const QRectF kWindow = HandBuiltWindow::screenFrame;  // top edge at y 950
const QRectF kToolbar{100, 898, 1200, 52};
const QRectF kRow{100, 870, 1200, 28};  // right under the toolbar

SafariChromeCandidate candidate(std::optional<QString> identifier, bool tabs, bool tabButtons,
                                std::optional<QString> label = {}, QString role = QStringLiteral("AXTabGroup"),
                                QRectF frame = kRow) {
    SafariChromeCandidate c{.role = role, .subrole = std::nullopt, .identifier = std::move(identifier),
                            .label = std::move(label), .frame = frame, .hasTabsAttribute = tabs, .childSubroles = {}};
    if (tabButtons) c.childSubroles.insert(QStringLiteral("AXTabButton"));
    return c;
}

// A candidate that scores 0.55 on its identifier alone (role AXList adds nothing).
SafariChromeCandidate plain(QRectF frame) {
    return candidate(QStringLiteral("TabBar"), false, false, std::nullopt, QStringLiteral("AXList"), frame);
}

double confidenceOf(const SafariChromeScoring::Outcome &outcome) {
    return outcome.assessment() ? outcome.assessment()->confidence : -1;
}

// MARK: Scoring

TEST(SafariChromeScoring, ScoresTheEvidenceOfATabRow) {
    struct Case {
        const char *name;
        SafariChromeCandidate candidate;
        double confidence;  // -1: rejected
    };
    const Case cases[] = {
        {"everything, capped at 1", candidate("TabBar", true, true, "Tab Bar"), 1.0},
        {"identifier, tabs, group role", candidate("TabBar", true, false), 0.8},
        {"identifier prefix alone", candidate("TabBarView", false, false, {}, "AXList"), 0.55},
        {"identifier and group role", candidate("TabBar", false, false, {}, "AXGroup"), 0.6},
        {"tabs, buttons, label, role", candidate({}, true, true, "tab bar of window"), 0.6},
        {"tabs, buttons and role reach the threshold", candidate({}, true, true), 0.5},
        {"tabs and buttons without the role fall short", candidate({}, true, true, {}, "AXList"), -1},
        {"identifier is case-sensitive", candidate("tabbar", true, true, {}, "AXList"), -1},
        {"a label that only mentions tabs", candidate({}, false, true, "tabs", "AXGroup"), -1},
    };
    for (const auto &c : cases) {
        const auto outcome = SafariChromeScoring::assess({c.candidate}, kWindow, kToolbar);
        if (c.confidence < 0) {
            EXPECT_EQ(outcome.kind(), SafariChromeScoring::Outcome::Kind::notFound) << c.name;
        } else {
            ASSERT_EQ(outcome.kind(), SafariChromeScoring::Outcome::Kind::found) << c.name;
            EXPECT_DOUBLE_EQ(confidenceOf(outcome), c.confidence) << c.name;
        }
    }
}

TEST(SafariChromeScoring, RejectedCandidatesStillCountAsEvidence) {
    using Outcome = SafariChromeScoring::Outcome;
    EXPECT_EQ(SafariChromeScoring::assess({}, kWindow, kToolbar), Outcome::notFound(false));
    EXPECT_EQ(SafariChromeScoring::assess({candidate({}, false, false, {}, "AXGroup")}, kWindow, kToolbar),
              Outcome::notFound(false));
    const SafariChromeCandidate evidence[] = {
        candidate({}, false, false, "Tab bar"),
        candidate({}, false, true, {}, "AXGroup"),
        candidate({}, true, false, {}, "AXGroup"),
        candidate("TabBar", false, false, {}, "AXList", QRectF(100, 870, 300, 28)),  // too narrow
    };
    for (const auto &c : evidence)
        EXPECT_EQ(SafariChromeScoring::assess({candidate({}, false, false), c}, kWindow, kToolbar), Outcome::notFound(true));
}

TEST(SafariChromeScoring, FrameGatesHoldAtTheirLimits) {
    struct Case {
        const char *name;
        QRectF frame;
        bool withToolbar;
        bool passes;
    };
    const Case cases[] = {
        {"half the window's width", {100, 870, 600, 28}, true, true},
        {"a point narrower", {100, 870, 599, 28}, true, false},
        {"4 wider, 2 out on each side", {98, 870, 1204, 28}, true, true},
        {"5 wider", {98, 870, 1205, 28}, true, false},
        {"starts 5 left of the window", {95, 870, 1000, 28}, true, false},
        {"ends 5 right of the window", {305, 870, 1000, 28}, true, false},
        {"top 260 below the window's top", {100, 662, 1200, 28}, false, true},
        {"top 261 below", {100, 661, 1200, 28}, false, false},
        {"top 4 above the window's top", {100, 926, 1200, 28}, false, true},
        {"top 5 above", {100, 927, 1200, 28}, false, false},
        {"16 tall", {100, 870, 1200, 16}, true, true},
        {"under 16 tall", {100, 870, 1200, 15.9}, true, false},
        {"80 tall", {100, 800, 1200, 80}, true, true},
        {"over 80 tall", {100, 800, 1200, 80.5}, true, false},
        {"top 4 into the toolbar", {100, 874, 1200, 28}, true, true},
        {"top 4.5 into the toolbar", {100, 874.5, 1200, 28}, true, false},
        {"the same, without a toolbar to go by", {100, 874.5, 1200, 28}, false, true},
    };
    for (const auto &c : cases) {
        const auto toolbar = c.withToolbar ? std::optional(kToolbar) : std::nullopt;
        const auto outcome = SafariChromeScoring::assess({plain(c.frame)}, kWindow, toolbar);
        EXPECT_EQ(outcome.kind() == SafariChromeScoring::Outcome::Kind::found, c.passes) << c.name;
    }
}

TEST(SafariChromeScoring, TabsInsideTheToolbarAreAnUnsupportedLayout) {
    using Outcome = SafariChromeScoring::Outcome;
    // Covers the toolbar from its top to its bottom.
    EXPECT_EQ(SafariChromeScoring::assess({plain({100, 920, 1200, 30})}, kWindow, kToolbar), Outcome::unsupportedLayout());
    // The browser says so in the identifier, wherever the row lies.
    EXPECT_EQ(SafariChromeScoring::assess({candidate("TabBar?isSeparate=false", true, false)}, kWindow, kToolbar),
              Outcome::unsupportedLayout());
    // Half inside the toolbar is not over it; and a weak candidate is never looked at.
    EXPECT_EQ(SafariChromeScoring::assess({plain({100, 884, 1200, 28})}, kWindow, kToolbar), Outcome::notFound(true));
    EXPECT_EQ(SafariChromeScoring::assess({candidate({}, true, false, {}, "AXList", {100, 920, 1200, 30})}, kWindow,
                                          kToolbar),
              Outcome::notFound(true));
    // A row that passes wins over whatever else was seen.
    const auto found = SafariChromeScoring::assess(
        {candidate("TabBar?isSeparate=false", true, false), plain({100, 920, 1200, 30}), plain(kRow)}, kWindow, kToolbar);
    EXPECT_EQ(found.kind(), Outcome::Kind::found);
}

TEST(SafariChromeScoring, OfEqualConfidencesTheFirstFoundStays) {
    const auto first = candidate({}, true, true, "TAB BAR", "AXList", kRow);
    const auto second = candidate({}, true, true, "TAB BAR", "AXList", QRectF(100, 800, 1200, 28));
    const auto outcome = SafariChromeScoring::assess({first, second}, kWindow, kToolbar);
    ASSERT_TRUE(outcome.assessment());
    EXPECT_DOUBLE_EQ(outcome.assessment()->confidence, 0.55);
    EXPECT_EQ(outcome.assessment()->candidate.frame, kRow);
    const auto better = candidate("TabBar", true, false, {}, "AXList", QRectF(100, 800, 1200, 28));
    EXPECT_EQ(SafariChromeScoring::assess({first, better}, kWindow, kToolbar).assessment()->candidate, better);
}

// MARK: Calculated geometry

TEST(SafariChromeGeometry, CalculatedRowFollowsAPlausibleToolbar) {
    struct Case {
        const char *name;
        std::optional<QRectF> toolbar;
        double fromTop;
        double confidence;
    };
    const Case cases[] = {
        {"no toolbar", std::nullopt, 52, 0.45},
        {"bottom 40 below the top", QRectF(100, 910, 1200, 40), 40, 0.7},
        {"bottom 260 below the top", QRectF(100, 690, 1200, 50), 260, 0.7},
        {"bottom 300 below the top", QRectF(100, 650, 1200, 50), 52, 0.45},
        {"no height", QRectF(100, 910, 1200, 0), 52, 0.45},
        {"above the window", QRectF(100, 951, 1200, 40), 52, 0.45},
    };
    for (const auto &c : cases) {
        const auto g = SafariChromeGeometry::calculated(c.toolbar, QStringLiteral("17.4"), kWindow);
        EXPECT_EQ(g.tabBarFrame, QRectF(100, 950 - c.fromTop - 28, 1200, 28)) << c.name;
        EXPECT_DOUBLE_EQ(g.confidence, c.confidence) << c.name;
        EXPECT_EQ(g.source, SafariChromeGeometrySource::calculated) << c.name;
        EXPECT_EQ(g.windowFrame, kWindow) << c.name;
    }
    EXPECT_EQ(SafariChromeGeometry::calculated(std::nullopt, std::nullopt, QRectF(0, 0, -5, 300)).tabBarFrame.width(), 0);
}

// MARK: The walk over hand-built trees

TEST(SafariChromeDetection, FindsTheRowAndStopsThere) {
    HandBuiltWindow w;
    auto toolbar = w.toolbar();
    auto row = w.tabRow();
    auto after = w.tree.add(QStringLiteral("AXGroup")).frame({100, 130, 1200, 28});
    w.window.children({toolbar, row, after});
    const auto detection = SafariChromeScoring::detect(w.focused(), QStringLiteral("17.4"), kScreenHeight);
    ASSERT_EQ(detection.kind(), Kind::located);
    EXPECT_EQ(detection.geometry()->tabBarFrame, kRow);
    EXPECT_EQ(detection.geometry()->windowFrame, kWindow);
    EXPECT_EQ(detection.geometry()->source, SafariChromeGeometrySource::accessibility);
    EXPECT_DOUBLE_EQ(detection.geometry()->confidence, 1.0);
    EXPECT_EQ(after.reads(QStringLiteral("AXRole")), 0);
}

TEST(SafariChromeDetection, FallsBackToACalculatedRow) {
    LogCapture log;
    {  // Nothing readable at all: a row at the usual place, for this evaluation only.
        HandBuiltWindow w;
        const auto detection = SafariChromeScoring::detect(w.focused(), std::nullopt, kScreenHeight);
        ASSERT_EQ(detection.kind(), Kind::provisional);
        EXPECT_EQ(detection.geometry()->tabBarFrame, kRow);
        EXPECT_DOUBLE_EQ(detection.geometry()->confidence, 0.45);
    }
    EXPECT_TRUE(log.contains(QStringLiteral("Tab row not identified (evidence: false); calculating")));
    {  // Evidence of a row that fails the gates: under the toolbar, kept.
        HandBuiltWindow w;
        auto narrow = w.tree.add(QStringLiteral("AXTabGroup")).frame({100, 102, 300, 28});
        narrow.set(QStringLiteral("AXTabs"), AXValue::Array{});
        w.window.children({w.toolbar(40), narrow});
        const auto detection = SafariChromeScoring::detect(w.focused(), std::nullopt, kScreenHeight);
        ASSERT_EQ(detection.kind(), Kind::located);
        EXPECT_EQ(detection.geometry()->tabBarFrame, QRectF(100, 882, 1200, 28));
        EXPECT_DOUBLE_EQ(detection.geometry()->confidence, 0.7);
        EXPECT_EQ(detection.geometry()->source, SafariChromeGeometrySource::calculated);
    }
    EXPECT_TRUE(log.contains(QStringLiteral("Tab row not identified (evidence: true); calculating")));
}

TEST(SafariChromeDetection, ReadableChromeWithoutARowDrawsNothing) {
    LogCapture log;
    HandBuiltWindow w;
    w.window.children({w.toolbar(40)});  // the toolbar is the only candidate, and no row
    EXPECT_EQ(SafariChromeScoring::detect(w.focused(), std::nullopt, kScreenHeight).kind(), Kind::unavailable);
    EXPECT_TRUE(log.contains(QStringLiteral("Safari's chrome is readable and has no tab row; drawing nothing")));

    HandBuiltWindow tall;
    tall.window.children({tall.toolbar(100)});  // a toolbar but no candidate
    EXPECT_EQ(SafariChromeScoring::detect(tall.focused(), std::nullopt, kScreenHeight).kind(), Kind::unavailable);
}

TEST(SafariChromeDetection, TabsDrawnInsideTheToolbar) {
    LogCapture log;
    HandBuiltWindow w;
    auto row = w.tabRow(10, {});
    auto toolbar = w.toolbar();
    toolbar.children({row});
    w.window.children({toolbar});
    EXPECT_EQ(SafariChromeScoring::detect(w.focused(), std::nullopt, kScreenHeight).kind(), Kind::unsupportedLayout);
    EXPECT_TRUE(log.contains(QStringLiteral("Safari is in Compact tab layout; immersive mode has no row to reclaim")));
}

TEST(SafariChromeDetection, NeverEntersTheSkippedRoles) {
    ASSERT_EQ(SafariChromeScoring::skippedRoles().size(), 9);
    for (const auto &role : SafariChromeScoring::skippedRoles()) {
        HandBuiltWindow w;
        auto hidden = w.tabRow();
        auto container = w.tree.add(role).frame({100, 102, 1200, 60}).children({hidden});
        w.window.children({container});
        const auto candidates = SafariChromeScoring::collectCandidates({w.window.ref()}, kScreenHeight);
        ASSERT_EQ(candidates.size(), 1u) << qPrintable(role);  // the container itself
        EXPECT_EQ(hidden.reads(QStringLiteral("AXRole")), 0) << qPrintable(role);
        EXPECT_EQ(SafariChromeScoring::detect(w.focused(), std::nullopt, kScreenHeight).kind(), Kind::unavailable)
            << qPrintable(role);
    }
    HandBuiltWindow open;  // the same under an ordinary group is found
    open.window.children({open.tree.add(QStringLiteral("AXGroup")).frame({100, 102, 1200, 60}).children({open.tabRow()})});
    EXPECT_EQ(SafariChromeScoring::detect(open.focused(), std::nullopt, kScreenHeight).kind(), Kind::located);
}

TEST(SafariChromeDetection, LooksNoDeeperThanFourLevels) {
    for (int depth = 1; depth <= 6; ++depth) {
        HandBuiltWindow w;
        Element inner = w.tabRow();
        for (int level = depth; level > 1; --level)  // groups as large as the window are no candidates
            inner = w.tree.add(QStringLiteral("AXGroup")).frame(HandBuiltWindow::topLeftFrame).children({inner});
        w.window.children({inner});
        const auto candidates = SafariChromeScoring::collectCandidates({w.window.ref()}, kScreenHeight);
        EXPECT_EQ(candidates.size(), depth <= 4 ? 1u : 0u) << depth;
    }
}

TEST(SafariChromeDetection, AnElementWithoutARoleMayBeTheRowButIsNeverOpened) {
    HandBuiltWindow w;
    auto roleless = w.tabRow();
    roleless.unset(QStringLiteral("AXRole"));
    auto nested = w.tabRow();
    auto wrapper = w.tree.add().frame({100, 50, 1200, 100}).children({nested});
    w.window.children({wrapper, roleless});
    const auto candidates = SafariChromeScoring::collectCandidates({w.window.ref()}, kScreenHeight);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].role, std::nullopt);
    EXPECT_EQ(nested.reads(QStringLiteral("AXRole")), 0);
}

TEST(SafariChromeDetection, CyclesAndHugeTreesEndWithinTheVisitBudget) {
    {  // A group that lists itself and the window among its children.
        HandBuiltWindow w;
        auto loop = w.tree.add(QStringLiteral("AXGroup")).frame({100, 102, 1200, 28});
        loop.children({loop, loop, w.window, loop});
        w.window.children({loop, w.window});
        const auto candidates = SafariChromeScoring::collectCandidates({w.window.ref()}, kScreenHeight);
        EXPECT_LE(loop.reads(QStringLiteral("AXRole")) + w.window.reads(QStringLiteral("AXRole")), 200);
        EXPECT_FALSE(candidates.empty());
    }
    {  // 10,000 children: the row past the first 200 elements is never reached.
        HandBuiltWindow w;
        std::vector<Element> children;
        for (int i = 0; i < 10'000; ++i) children.push_back(w.tree.add(QStringLiteral("AXImage")).frame({100, 60, 10, 10}));
        auto row = w.tabRow();
        children.push_back(row);
        w.window.children(children);
        EXPECT_TRUE(SafariChromeScoring::collectCandidates({w.window.ref()}, kScreenHeight).empty());
        EXPECT_EQ(row.reads(QStringLiteral("AXRole")), 0);
        EXPECT_EQ(children[198].reads(QStringLiteral("AXRole")), 1);
        EXPECT_EQ(children[199].reads(QStringLiteral("AXRole")), 0);  // the window took the first visit
        EXPECT_EQ(SafariChromeScoring::detect(w.focused(), std::nullopt, kScreenHeight).kind(), Kind::provisional);
    }
}

TEST(SafariChromeDetection, UnreadableAttributesCountAsAbsent) {
    struct Case {
        const char *name;
        std::function<void(Element &)> spoil;
    };
    const Case cases[] = {
        {"no size", [](Element &e) { e.unset(QStringLiteral("AXSize")); }},
        {"position read fails", [](Element &e) { e.fail(QStringLiteral("AXPosition"), AXError::cannotComplete); }},
        {"position given as a size", [](Element &e) { e.set(QStringLiteral("AXPosition"), QSizeF(100, 102)); }},
        {"size given as text", [](Element &e) { e.set(QStringLiteral("AXSize"), "1200x28"); }},
        {"hangs", [](Element &e) { e.respondAfter(std::numeric_limits<double>::infinity()); }},
    };
    for (const auto &c : cases) {
        HandBuiltWindow w;
        auto row = w.tabRow(52, QStringLiteral("TabBar"), 0);
        c.spoil(row);
        w.window.children({row});
        EXPECT_TRUE(SafariChromeScoring::collectCandidates({w.window.ref()}, kScreenHeight).empty()) << c.name;
    }

    HandBuiltWindow w;  // wrong types read as absent, one attribute at a time
    auto row = w.tabRow();
    row.set(QStringLiteral("AXIdentifier"), 7).set(QStringLiteral("AXDescription"), true);
    row.failAttributeNames(AXError::cannotComplete);
    w.window.children({row});
    const auto candidates = SafariChromeScoring::collectCandidates({w.window.ref()}, kScreenHeight);
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates[0].identifier, std::nullopt);
    EXPECT_EQ(candidates[0].label, std::nullopt);
    EXPECT_FALSE(candidates[0].hasTabsAttribute);
    EXPECT_EQ(candidates[0].childSubroles, TextSet{QStringLiteral("AXTabButton")});

    HandBuiltWindow slow;  // slower than usual, but within the default messaging timeout
    slow.window.children({slow.tabRow().respondAfter(1.0)});
    EXPECT_EQ(SafariChromeScoring::detect(slow.focused(), std::nullopt, kScreenHeight).kind(), Kind::located);
}

TEST(SafariChromeDetection, ReadsTheSubrolesOfThreeChildrenAtMost) {
    SimulatedAccessibilityTree tree;
    std::vector<Element> buttons;
    for (int i = 0; i < 5; ++i)
        buttons.push_back(tree.add(QStringLiteral("AXRadioButton")).subrole(i == 1 ? "AXTabButton" : "AXCheckBox"));
    buttons[2].unset(QStringLiteral("AXSubrole"));
    auto row = tree.add(QStringLiteral("AXTabGroup")).frame({100, 102, 1200, 28}).children(buttons);
    const auto candidate = SafariChromeCandidate::make({row.ref()}, QStringLiteral("AXTabGroup"), kScreenHeight);
    ASSERT_TRUE(candidate);
    EXPECT_EQ(candidate->childSubroles, (TextSet{QStringLiteral("AXCheckBox"), QStringLiteral("AXTabButton")}));
    EXPECT_EQ(candidate->frame, kRow);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(buttons[std::size_t(i)].reads(QStringLiteral("AXSubrole")), i < 3 ? 1 : 0) << i;
}

TEST(SafariChromeDetection, ToolbarIsTheFirstReadableToolbarAmongTheWindowsChildren) {
    HandBuiltWindow w;
    auto unreadable = w.tree.add(QStringLiteral("AXToolbar"));
    auto nested = w.tree.add(QStringLiteral("AXGroup")).frame({100, 50, 1200, 52}).children({w.toolbar(30)});
    w.window.children({unreadable, nested, w.toolbar(40), w.toolbar(60)});
    EXPECT_EQ(SafariChromeScoring::toolbarFrame({w.window.ref()}, kScreenHeight), QRectF(100, 910, 1200, 40));
    HandBuiltWindow none;
    none.window.children({nested});
    EXPECT_EQ(SafariChromeScoring::toolbarFrame({none.window.ref()}, kScreenHeight), std::nullopt);
}

// MARK: The simulated browser's own tree

TEST(SafariChromeDetection, TellsTheSimulatedLayoutsApart) {
    using Layout = SimulatedAccessibility::TabRowLayout;
    struct Case {
        Layout layout;
        Kind kind;
        double confidence;
        SafariChromeGeometrySource source;
    };
    const Case cases[] = {
        {Layout::separate, Kind::located, 1.0, SafariChromeGeometrySource::accessibility},
        {Layout::insideToolbar, Kind::unsupportedLayout, 0, {}},
        {Layout::none, Kind::unavailable, 0, {}},
        {Layout::outOfReach, Kind::provisional, 0.45, SafariChromeGeometrySource::calculated},
    };
    for (const auto &c : cases) {
        OverlayWorld world;
        world.safari.addWindow(OverlayWorld::window(7, {"a", "b", "c"}));
        world.safari.launch();
        world.accessibility.setTabRowLayout(7, c.layout);
        const auto app = world.accessibility.createApplication(*world.safari.processIdentifier());
        const auto window = SafariFocusedWindow::read({app}, kScreenHeight);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->frame, kWindow);
        const auto detection = SafariChromeScoring::detect(*window, QStringLiteral("17.4"), kScreenHeight);
        ASSERT_EQ(detection.kind(), c.kind) << toString(c.kind).toStdString();
        if (!detection.geometry()) continue;
        // Where found or calculated, the row lies exactly over the browser's own.
        EXPECT_EQ(detection.geometry()->tabBarFrame, kRow);
        EXPECT_DOUBLE_EQ(detection.geometry()->confidence, c.confidence);
        EXPECT_EQ(detection.geometry()->source, c.source);
    }
}

TEST(SafariChromeDetection, OnADesktopTheRowIsTheStripTheWindowDraws) {
    OverlayWorld world;
    world.safari.addWindow(OverlayWorld::window(7, {"a", "b", "c"}));
    world.safari.launch();
    const auto detect = [&] {
        const auto app = world.accessibility.createApplication(*world.safari.processIdentifier());
        return SafariChromeScoring::detect(*SafariFocusedWindow::read({app}, kScreenHeight), std::nullopt, kScreenHeight);
    };
    world.accessibility.setDrawnTabStrip(30);
    const auto drawn = detect();
    ASSERT_EQ(drawn.kind(), Kind::located);
    EXPECT_EQ(drawn.geometry()->tabBarFrame, QRectF(100, 920, 1200, 30));  // the window's top 30 points
    EXPECT_DOUBLE_EQ(drawn.geometry()->confidence, 1.0);
    EXPECT_FALSE(world.accessibility.safariToolbar(7));

    world.accessibility.setDrawnTabStrip(std::nullopt);
    EXPECT_EQ(detect().geometry()->tabBarFrame, kRow);
}

}  // namespace
