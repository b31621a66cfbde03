#pragma once

#include <QString>

#include <optional>

namespace ondrake {

// Why the immersive bar is not over Safari's tab row; the status menu tells the user.
enum class OverlayHiddenReason {
    disabled,
    accessibilityMissing,
    safariNotFrontmost,
    noFocusedWindow,
    minimized,
    fullScreen,
    unsupportedTabLayout,
    geometryUnavailable,
    geometryUntrusted,
    temporarilyRevealed,
    windowMoving,
    tabRowObscured,
};

// The case name, which is also its raw value.
QString toString(OverlayHiddenReason reason);
QString message(OverlayHiddenReason reason);

// Everything one evaluation of the bar weighs.
struct OverlayVisibilityInputs {
    static constexpr double minimumConfidence = 0.4;

    bool isEnabled = false;
    bool isTrusted = false;
    bool safariIsFrontmost = false;
    bool hasFocusedWindow = false;
    bool isMinimized = false;
    bool isFullScreen = false;
    bool isUnsupportedLayout = false;
    double confidence = 0;
    bool geometryIsMissing = true;
    bool windowIsMoving = false;
    bool isObscured = false;
    bool isTemporarilyRevealed = false;
    bool isCalibrating = false;
};

// The first reason that holds, in order of precedence; none when the bar is to be shown. Once the
// window is there and usable, a running calibration shows the bar whatever else holds.
std::optional<OverlayHiddenReason> resolveHiddenReason(const OverlayVisibilityInputs &inputs);

}  // namespace ondrake
