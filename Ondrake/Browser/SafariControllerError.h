#pragma once

#include "BrowserCapabilities.h"

#include <QByteArray>
#include <QString>

#include <exception>

namespace ondrake {

// The one error every browser adapter throws.
class SafariControllerError : public std::exception {
public:
    enum class Kind { automationFailure, unsupported, safariNotRunning, permissionDenied, windowNotFound, tabNotFound };

    static SafariControllerError automationFailure(const QString &message);
    static SafariControllerError unsupported(BrowserCapabilities missing);
    static SafariControllerError safariNotRunning();
    static SafariControllerError permissionDenied();
    static SafariControllerError windowNotFound();
    static SafariControllerError tabNotFound();

    Kind kind() const { return kind_; }
    const QString &message() const { return message_; }  // automationFailure only
    BrowserCapabilities missingCapability() const { return missing_; }  // unsupported only

    // `automationFailure("…")`, `unsupported(BrowserCapabilities(rawValue: 1024))`, `tabNotFound`.
    QString description() const;
    const char *what() const noexcept override { return what_.constData(); }

    bool operator==(const SafariControllerError &other) const {
        return kind_ == other.kind_ && message_ == other.message_ && missing_ == other.missing_;
    }

private:
    SafariControllerError(Kind kind, QString message, BrowserCapabilities missing);
    Kind kind_;
    QString message_;
    BrowserCapabilities missing_;
    QByteArray what_;
};

}  // namespace ondrake
