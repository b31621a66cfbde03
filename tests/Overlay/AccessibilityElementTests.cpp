#include "OverlayTestSupport.h"

#include "Overlay/AccessibilityElement.h"
#include "Overlay/SafariFocusedWindow.h"

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

TEST(AccessibilityElement, ReadsOnlyValuesOfTheAskedType) {
    SimulatedAccessibilityTree tree;
    auto other = tree.add(QStringLiteral("AXGroup"));
    auto e = tree.add(QStringLiteral("AXWindow"));
    e.set(QStringLiteral("AXTitle"), "Start")
        .set(QStringLiteral("AXMinimized"), true)
        .set(QStringLiteral("AXFullScreen"), 1)  // a number is no Boolean
        .set(QStringLiteral("AXFocusedWindow"), other.ref())
        .set(QStringLiteral("AXParent"), "not an element")
        .fail(QStringLiteral("AXSubrole"), AXError::cannotComplete);
    const AccessibilityElement element{e.ref()};
    EXPECT_EQ(element.string(QStringLiteral("AXTitle")), QStringLiteral("Start"));
    EXPECT_EQ(element.string(QStringLiteral("AXMinimized")), std::nullopt);
    EXPECT_EQ(element.string(QStringLiteral("AXSubrole")), std::nullopt);
    EXPECT_EQ(element.string(QStringLiteral("AXIdentifier")), std::nullopt);
    EXPECT_EQ(element.boolean(QStringLiteral("AXMinimized")), true);
    EXPECT_EQ(element.boolean(QStringLiteral("AXFullScreen")), std::nullopt);
    EXPECT_EQ(element.elementValue(QStringLiteral("AXFocusedWindow")), AccessibilityElement{other.ref()});
    EXPECT_EQ(element.elementValue(QStringLiteral("AXParent")), std::nullopt);
    EXPECT_EQ(element.attributeNames(),
              (TextSet{"AXRole", "AXTitle", "AXMinimized", "AXFullScreen", "AXFocusedWindow", "AXParent"}));
}

TEST(AccessibilityElement, ChildrenAreAllElementsOrNone) {
    SimulatedAccessibilityTree tree;
    auto a = tree.add(), b = tree.add();
    auto parent = tree.add().children({a, b});
    EXPECT_EQ(AccessibilityElement{parent.ref()}.children(),
              (std::vector<AccessibilityElement>{{a.ref()}, {b.ref()}}));
    parent.set(QStringLiteral("AXChildren"), AXValue::Array{a.ref(), "b"});
    EXPECT_TRUE(AccessibilityElement{parent.ref()}.children().empty());
    parent.set(QStringLiteral("AXChildren"), a.ref());
    EXPECT_TRUE(AccessibilityElement{parent.ref()}.children().empty());
    parent.fail(QStringLiteral("AXChildren"), AXError::cannotComplete);
    EXPECT_TRUE(AccessibilityElement{parent.ref()}.children().empty());
}

TEST(AccessibilityElement, ReadsNothingFromAnElementThatIsGoneOrUntrusted) {
    bool trusted = true;
    auto tree = std::make_unique<SimulatedAccessibilityTree>();
    tree->setTrusted([&] { return trusted; });
    auto e = tree->add(QStringLiteral("AXWindow"));
    const AXUIElement ref = e.ref();
    EXPECT_EQ(ref.copyAttributeValue(QStringLiteral("AXRole")).error(), AXError::success);
    trusted = false;
    EXPECT_EQ(ref.copyAttributeValue(QStringLiteral("AXRole")).error(), AXError::apiDisabled);
    EXPECT_EQ(AccessibilityElement{ref}.string(QStringLiteral("AXRole")), std::nullopt);
    trusted = true;
    tree.reset();
    EXPECT_EQ(ref.copyAttributeValue(QStringLiteral("AXRole")).error(), AXError::invalidUIElement);
    EXPECT_EQ(ref, ref);  // still names the element it named
}

TEST(AccessibilityElement, FlipsTopLeftFramesWithTheFirstScreensHeight) {
    // A first screen 1000 points tall; a second screen, 1440 tall, to its right, and a third above it.
    struct Case {
        const char *name;
        QRectF topLeft;
        FirstScreenHeight firstScreenHeight;
        QRectF expected;
    };
    const Case cases[] = {
        {"top of the first screen", {0, 0, 500, 100}, 1000, {0, 900, 500, 100}},
        {"window on the first screen", {100, 50, 1200, 800}, 1000, {100, 150, 1200, 800}},
        {"the second screen, below the first's bottom", {1920, 900, 800, 400}, 1000, {1920, -300, 800, 400}},
        {"the second screen, flipped with the first's height", {1920, 100, 800, 600}, 1000, {1920, 300, 800, 600}},
        {"a screen above the first", {200, -800, 800, 600}, 1000, {200, 1200, 800, 600}},
        {"no screen at all", {300, 40, 800, 600}, std::nullopt, {300, 0, 800, 600}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(AccessibilityElement::cocoaFrame(c.topLeft, c.firstScreenHeight), c.expected) << c.name;
        SimulatedAccessibilityTree tree;
        const AccessibilityElement element{tree.add().frame(c.topLeft).ref()};
        EXPECT_EQ(element.frame(c.firstScreenHeight), c.expected) << c.name;
    }
}

TEST(SafariFocusedWindow, IsAWindowLargerThan200PointsEachWay) {
    struct Case {
        QSizeF size;
        bool isWindow;
    };
    const Case cases[] = {{{201, 201}, true}, {{200, 800}, false}, {{800, 200}, false}, {{200.5, 200.5}, true}};
    for (const auto &c : cases) {
        SimulatedAccessibilityTree tree;
        auto window = tree.add(QStringLiteral("AXWindow")).frame({QPointF(10, 20), c.size});
        const auto app = tree.add(QStringLiteral("AXApplication")).set(QStringLiteral("AXFocusedWindow"), window.ref());
        EXPECT_EQ(SafariFocusedWindow::read({app.ref()}, kScreenHeight).has_value(), c.isWindow) << c.size.width();
    }
}

TEST(SafariFocusedWindow, ReadsItsStatesAndTakesUnreadableOnesAsFalse) {
    SimulatedAccessibilityTree tree;
    auto window = tree.add(QStringLiteral("AXWindow")).frame(HandBuiltWindow::topLeftFrame);
    auto app = tree.add(QStringLiteral("AXApplication")).set(QStringLiteral("AXFocusedWindow"), window.ref());
    auto read = [&] { return SafariFocusedWindow::read({app.ref()}, kScreenHeight); };
    EXPECT_EQ(read(), (SafariFocusedWindow{{window.ref()}, HandBuiltWindow::screenFrame, false, false}));
    window.set(QStringLiteral("AXMinimized"), true).set(QStringLiteral("AXFullScreen"), true);
    EXPECT_TRUE(read()->isMinimized);
    EXPECT_TRUE(read()->isFullScreen);
    window.fail(QStringLiteral("AXMinimized"), AXError::cannotComplete).set(QStringLiteral("AXFullScreen"), "yes");
    EXPECT_FALSE(read()->isMinimized);
    EXPECT_FALSE(read()->isFullScreen);
    window.unset(QStringLiteral("AXSize"));
    EXPECT_EQ(read(), std::nullopt);
    app.set(QStringLiteral("AXFocusedWindow"), "front");
    EXPECT_EQ(read(), std::nullopt);
}

}  // namespace
