#include "Overlay/OverlayHiddenReason.h"

#include <gtest/gtest.h>

#include <limits>

using namespace ondrake;
using R = OverlayHiddenReason;

namespace {

TEST(OverlayHiddenReason, EachReasonHasItsRawValueAndItsMessage) {
    struct Case {
        R reason;
        const char *raw;
        const char *message;
    };
    const Case cases[] = {
        {R::disabled, "disabled", "Immersive mode is off."},
        {R::accessibilityMissing, "accessibilityMissing",
         "Ondrake needs Accessibility permission to find Safari's tab row."},
        {R::safariNotFrontmost, "safariNotFrontmost", "Safari isn’t the active app."},
        {R::noFocusedWindow, "noFocusedWindow", "Safari has no window in front."},
        {R::minimized, "minimized", "Safari’s window is minimised."},
        {R::fullScreen, "fullScreen", "Safari is in full screen, where immersive mode is turned off."},
        {R::unsupportedTabLayout, "unsupportedTabLayout",
         "Safari is showing tabs inside the toolbar. Switch Safari to the “Separate” tab layout in View ▸ Tab Bar "
         "to use immersive mode."},
        {R::geometryUnavailable, "geometryUnavailable", "Ondrake couldn’t find Safari’s tab row."},
        {R::geometryUntrusted, "geometryUntrusted",
         "Ondrake isn’t confident enough about where Safari’s tab row is. Try calibrating it by hand."},
        {R::temporarilyRevealed, "temporarilyRevealed", "Safari’s own tab bar is showing."},
        {R::windowMoving, "windowMoving", "Safari’s window is being moved."},
        {R::tabRowObscured, "tabRowObscured", "Safari is showing a list over its tab bar."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(toString(c.reason), QString::fromUtf8(c.raw));
        EXPECT_EQ(message(c.reason), QString::fromUtf8(c.message)) << c.raw;
    }
}

// Everything holds that can hide the bar; switching the conditions off one at a time, in order
// of precedence, uncovers each reason in turn until the bar is shown.
TEST(OverlayHiddenReason, ResolvesTheFirstReasonThatHoldsInOrder) {
    OverlayVisibilityInputs in{
        .isEnabled = false,
        .isTrusted = false,
        .safariIsFrontmost = false,
        .hasFocusedWindow = false,
        .isMinimized = true,
        .isFullScreen = true,
        .isUnsupportedLayout = true,
        .confidence = 0,
        .geometryIsMissing = true,
        .windowIsMoving = true,
        .isObscured = true,
        .isTemporarilyRevealed = true,
        .isCalibrating = false,
    };
    const std::pair<R, std::function<void()>> steps[] = {
        {R::disabled, [&] { in.isEnabled = true; }},
        {R::accessibilityMissing, [&] { in.isTrusted = true; }},
        {R::temporarilyRevealed, [&] { in.isTemporarilyRevealed = false; }},
        {R::safariNotFrontmost, [&] { in.safariIsFrontmost = true; }},
        {R::noFocusedWindow, [&] { in.hasFocusedWindow = true; }},
        {R::minimized, [&] { in.isMinimized = false; }},
        {R::fullScreen, [&] { in.isFullScreen = false; }},
        {R::unsupportedTabLayout, [&] { in.isUnsupportedLayout = false; }},
        {R::geometryUnavailable, [&] { in.geometryIsMissing = false; }},
        {R::geometryUntrusted, [&] { in.confidence = 0.9; }},
        {R::windowMoving, [&] { in.windowIsMoving = false; }},
        {R::tabRowObscured, [&] { in.isObscured = false; }},
    };
    for (const auto &[expected, clear] : steps) {
        EXPECT_EQ(resolveHiddenReason(in), expected) << toString(expected).toStdString();
        clear();
    }
    EXPECT_EQ(resolveHiddenReason(in), std::nullopt);
}

TEST(OverlayHiddenReason, ACalibrationShowsTheBarOnceTheWindowIsUsable) {
    const OverlayVisibilityInputs calibrating{
        .isEnabled = true, .isTrusted = true, .safariIsFrontmost = false, .hasFocusedWindow = true,
        .isUnsupportedLayout = true, .confidence = 0, .geometryIsMissing = true, .windowIsMoving = true,
        .isObscured = true, .isCalibrating = true,
    };
    EXPECT_EQ(resolveHiddenReason(calibrating), std::nullopt);

    struct Case {
        const char *name;
        std::function<void(OverlayVisibilityInputs &)> change;
        R expected;
    };
    const Case cases[] = {
        {"full screen", [](auto &in) { in.isFullScreen = true; }, R::fullScreen},
        {"minimised", [](auto &in) { in.isMinimized = true; }, R::minimized},
        {"no window", [](auto &in) { in.hasFocusedWindow = false; }, R::noFocusedWindow},
        {"untrusted", [](auto &in) { in.isTrusted = false; }, R::accessibilityMissing},
        {"off", [](auto &in) { in.isEnabled = false; }, R::disabled},
    };
    for (const auto &c : cases) {
        auto in = calibrating;
        c.change(in);
        EXPECT_EQ(resolveHiddenReason(in), c.expected) << c.name;
    }
}

TEST(OverlayHiddenReason, TrustsAConfidenceOfAtLeastFourTenths) {
    struct Case {
        double confidence;
        std::optional<R> expected;
    };
    const Case cases[] = {
        {0.4, std::nullopt},
        {0.39, R::geometryUntrusted},
        {1.0, std::nullopt},
        {0.0, R::geometryUntrusted},
        {std::numeric_limits<double>::quiet_NaN(), R::geometryUntrusted},
    };
    for (const auto &c : cases) {
        const OverlayVisibilityInputs in{.isEnabled = true, .isTrusted = true, .safariIsFrontmost = true,
                                         .hasFocusedWindow = true, .confidence = c.confidence,
                                         .geometryIsMissing = false};
        EXPECT_EQ(resolveHiddenReason(in), c.expected) << c.confidence;
    }
}

}  // namespace
