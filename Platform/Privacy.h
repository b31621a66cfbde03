#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace ondrake {

// An application that Apple events can be addressed to.
struct AutomationTarget {
    QString bundleIdentifier;
    bool operator==(const AutomationTarget &) const = default;
};

// The platform's answers about this process's rights: Accessibility trust and the permission to
// send Apple events to another application. Main thread.
class Privacy {
public:
    static inline const QString typeWildCard = QStringLiteral("****");
    static constexpr std::int32_t noErr = 0;
    static constexpr std::int32_t procNotFound = -600;
    static constexpr std::int32_t errAEEventNotPermitted = -1743;
    static constexpr std::int32_t errAEEventWouldRequireUserConsent = -1744;

    virtual ~Privacy() = default;

    virtual bool isProcessTrusted() const = 0;
    // With `prompt`, the platform shows its prompt when the process is not trusted.
    virtual bool isProcessTrustedWithOptions(bool prompt) = 0;
    // Nothing when no address can be made for that bundle identifier.
    virtual std::optional<AutomationTarget> addressForBundleIdentifier(const QString &bundleIdentifier) const = 0;
    // An OSStatus: noErr, procNotFound, errAEEventNotPermitted, errAEEventWouldRequireUserConsent
    // or another code. With `askUserIfNeeded` the call may block while the user is asked.
    virtual std::int32_t determinePermissionToAutomate(const AutomationTarget &target, const QString &eventClass,
                                                       const QString &eventID, bool askUserIfNeeded) = 0;

    // Asks the system to show its settings at the pane the address names; the result is not known.
    virtual void openSystemSettings(const QString &paneAddress) = 0;
};

}  // namespace ondrake
