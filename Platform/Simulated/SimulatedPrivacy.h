#pragma once

#include "Privacy.h"
#include "SimulatedWorkspace.h"

#include <vector>

namespace ondrake {

// The simulated world's privacy answers. The Apple-events answer is the one a test set; a target
// that is not running answers procNotFound, as the platform does.
class SimulatedPrivacy final : public Privacy {
public:
    struct AutomationQuestion {
        AutomationTarget target;
        QString eventClass;
        QString eventID;
        bool askUserIfNeeded = false;
        bool operator==(const AutomationQuestion &) const = default;
    };

    explicit SimulatedPrivacy(const SimulatedWorkspace &workspace) : workspace_(workspace) {}

    bool isProcessTrusted() const override { return trusted_; }
    bool isProcessTrustedWithOptions(bool prompt) override;
    std::optional<AutomationTarget> addressForBundleIdentifier(const QString &bundleIdentifier) const override;
    std::int32_t determinePermissionToAutomate(const AutomationTarget &target, const QString &eventClass,
                                               const QString &eventID, bool askUserIfNeeded) override;

    void setTrusted(bool trusted) { trusted_ = trusted; }
    int accessibilityPromptCount() const { return accessibilityPrompts_; }

    void setAutomationAnswer(std::int32_t status) { automationAnswer_ = status; }
    // What the user answers when asked while consent is still needed; nothing leaves it pending.
    void setConsentResponse(std::optional<bool> allows) { consentResponse_ = allows; }
    void setAddressFails(bool fails) { addressFails_ = fails; }
    const std::vector<AutomationQuestion> &automationQuestions() const { return questions_; }

    // Nothing shows; the request is kept and logged.
    void openSystemSettings(const QString &paneAddress) override;
    const std::vector<QString> &openedSettingsPanes() const { return openedSettingsPanes_; }

private:
    const SimulatedWorkspace &workspace_;
    bool trusted_ = false;
    int accessibilityPrompts_ = 0;
    std::int32_t automationAnswer_ = noErr;
    std::optional<bool> consentResponse_;
    bool addressFails_ = false;
    std::vector<AutomationQuestion> questions_;
    std::vector<QString> openedSettingsPanes_;
};

}  // namespace ondrake
