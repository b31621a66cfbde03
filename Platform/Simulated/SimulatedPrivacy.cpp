#include "SimulatedPrivacy.h"

#include "Log.h"

namespace ondrake {

bool SimulatedPrivacy::isProcessTrustedWithOptions(bool prompt) {
    if (!trusted_ && prompt) ++accessibilityPrompts_;
    return trusted_;
}

std::optional<AutomationTarget> SimulatedPrivacy::addressForBundleIdentifier(const QString &bundleIdentifier) const {
    if (addressFails_ || bundleIdentifier.isEmpty()) return std::nullopt;
    return AutomationTarget{bundleIdentifier};
}

std::int32_t SimulatedPrivacy::determinePermissionToAutomate(const AutomationTarget &target, const QString &eventClass,
                                                             const QString &eventID, bool askUserIfNeeded) {
    questions_.push_back({target, eventClass, eventID, askUserIfNeeded});
    if (!workspace_.isRunning(target.bundleIdentifier)) return procNotFound;
    if (automationAnswer_ == errAEEventWouldRequireUserConsent && askUserIfNeeded && consentResponse_)
        automationAnswer_ = *consentResponse_ ? noErr : errAEEventNotPermitted;
    return automationAnswer_;
}

void SimulatedPrivacy::openSystemSettings(const QString &paneAddress) {
    openedSettingsPanes_.push_back(paneAddress);
    Logger(QStringLiteral("Permission")).info("System Settings asked to open %{public}s", paneAddress);
}

}  // namespace ondrake
