#pragma once

#include "Log.h"
#include "Privacy.h"
#include "UserDefaults.h"
#include "Workspace.h"

namespace ondrake {

// The three questions asked of the platform about this app's rights over Safari. Holds only the
// platform services it asks; every refusal comes back as a value, never an error.
class AutomationPermission {
public:
    enum class Status { granted = 0, denied = 1, needsConsent = 2, unavailable = 3 };

    static inline const QString accessibilityPromptedKey = QStringLiteral("ImmersiveAccessibilityPrompted");

    AutomationPermission(const Workspace &workspace, Privacy &privacy, UserDefaults &standardDefaults)
        : workspace_(workspace), privacy_(privacy), defaults_(standardDefaults) {}

    // Trusted already, or the platform's prompt was shown (on every call while untrusted).
    bool requestAccessibility();
    // May Safari be automated? With `prompt` the platform may ask the user and block meanwhile.
    Status status(bool prompt);
    bool isSafariFrontmost() const { return isSafariFrontmost(workspace_); }
    static bool isSafariFrontmost(const Workspace &workspace);

private:
    const Workspace &workspace_;
    Privacy &privacy_;
    UserDefaults &defaults_;
};

QString toString(AutomationPermission::Status status);

}  // namespace ondrake
