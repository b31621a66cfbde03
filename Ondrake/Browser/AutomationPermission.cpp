#include "AutomationPermission.h"

#include "Browser/BrowserAdapter.h"

#include <algorithm>

namespace ondrake {

namespace {
const Logger &permissionLog() {
    static const Logger log(QStringLiteral("Permission"));
    return log;
}
}  // namespace

bool AutomationPermission::requestAccessibility() {
    if (privacy_.isProcessTrusted()) return true;
    defaults_.setBool(accessibilityPromptedKey, true);
    return privacy_.isProcessTrustedWithOptions(true);
}

AutomationPermission::Status AutomationPermission::status(bool prompt) {
    if (workspace_.runningApplications(safariBundleIdentifier()).empty()) return Status::unavailable;
    const auto target = privacy_.addressForBundleIdentifier(safariBundleIdentifier());
    if (!target) return Status::unavailable;
    const auto result = privacy_.determinePermissionToAutomate(*target, Privacy::typeWildCard, Privacy::typeWildCard, prompt);
    switch (result) {
    case Privacy::noErr: return Status::granted;
    case Privacy::procNotFound: return Status::unavailable;
    case Privacy::errAEEventNotPermitted: return Status::denied;
    case Privacy::errAEEventWouldRequireUserConsent: return Status::needsConsent;
    default:
        permissionLog().debug("Unexpected permission status: %d", result);
        return Status::unavailable;
    }
}

bool AutomationPermission::isSafariFrontmost(const Workspace &workspace) {
    const auto apps = workspace.runningApplications(safariBundleIdentifier());
    return std::any_of(apps.begin(), apps.end(), [](const RunningApplication &a) { return a.isActive; });
}

QString toString(AutomationPermission::Status status) {
    switch (status) {
    case AutomationPermission::Status::granted: return QStringLiteral("granted");
    case AutomationPermission::Status::denied: return QStringLiteral("denied");
    case AutomationPermission::Status::needsConsent: return QStringLiteral("needsConsent");
    case AutomationPermission::Status::unavailable: return QStringLiteral("unavailable");
    }
    return {};
}

}  // namespace ondrake
