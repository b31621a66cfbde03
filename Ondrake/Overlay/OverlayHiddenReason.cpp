#include "Overlay/OverlayHiddenReason.h"

namespace ondrake {

QString toString(OverlayHiddenReason reason) {
    using R = OverlayHiddenReason;
    switch (reason) {
    case R::disabled: return QStringLiteral("disabled");
    case R::accessibilityMissing: return QStringLiteral("accessibilityMissing");
    case R::safariNotFrontmost: return QStringLiteral("safariNotFrontmost");
    case R::noFocusedWindow: return QStringLiteral("noFocusedWindow");
    case R::minimized: return QStringLiteral("minimized");
    case R::fullScreen: return QStringLiteral("fullScreen");
    case R::unsupportedTabLayout: return QStringLiteral("unsupportedTabLayout");
    case R::geometryUnavailable: return QStringLiteral("geometryUnavailable");
    case R::geometryUntrusted: return QStringLiteral("geometryUntrusted");
    case R::temporarilyRevealed: return QStringLiteral("temporarilyRevealed");
    case R::windowMoving: return QStringLiteral("windowMoving");
    case R::tabRowObscured: return QStringLiteral("tabRowObscured");
    }
    return {};
}

QString message(OverlayHiddenReason reason) {
    using R = OverlayHiddenReason;
    switch (reason) {
    case R::disabled: return QStringLiteral("Immersive mode is off.");
    case R::accessibilityMissing:
        return QStringLiteral("Ondrake needs Accessibility permission to find Safari's tab row.");
    case R::safariNotFrontmost: return QStringLiteral("Safari isn’t the active app.");
    case R::noFocusedWindow: return QStringLiteral("Safari has no window in front.");
    case R::minimized: return QStringLiteral("Safari’s window is minimised.");
    case R::fullScreen: return QStringLiteral("Safari is in full screen, where immersive mode is turned off.");
    case R::unsupportedTabLayout:
        return QStringLiteral("Safari is showing tabs inside the toolbar. Switch Safari to the “Separate” tab "
                              "layout in View ▸ Tab Bar to use immersive mode.");
    case R::geometryUnavailable: return QStringLiteral("Ondrake couldn’t find Safari’s tab row.");
    case R::geometryUntrusted:
        return QStringLiteral("Ondrake isn’t confident enough about where Safari’s tab row is. Try calibrating it "
                              "by hand.");
    case R::temporarilyRevealed: return QStringLiteral("Safari’s own tab bar is showing.");
    case R::windowMoving: return QStringLiteral("Safari’s window is being moved.");
    case R::tabRowObscured: return QStringLiteral("Safari is showing a list over its tab bar.");
    }
    return {};
}

std::optional<OverlayHiddenReason> resolveHiddenReason(const OverlayVisibilityInputs &in) {
    using R = OverlayHiddenReason;
    if (!in.isEnabled) return R::disabled;
    if (!in.isTrusted) return R::accessibilityMissing;
    if (in.isTemporarilyRevealed) return R::temporarilyRevealed;
    if (!in.safariIsFrontmost && !in.isCalibrating) return R::safariNotFrontmost;
    if (!in.hasFocusedWindow) return R::noFocusedWindow;
    if (in.isMinimized) return R::minimized;
    if (in.isFullScreen) return R::fullScreen;
    if (in.isCalibrating) return std::nullopt;
    if (in.isUnsupportedLayout) return R::unsupportedTabLayout;
    if (in.geometryIsMissing) return R::geometryUnavailable;
    // Written this way round so that a confidence that is not a number is not trusted either.
    if (!(in.confidence >= OverlayVisibilityInputs::minimumConfidence)) return R::geometryUntrusted;
    if (in.windowIsMoving) return R::windowMoving;
    if (in.isObscured) return R::tabRowObscured;
    return std::nullopt;
}

}  // namespace ondrake
