#include "SafariControllerError.h"

namespace ondrake {

SafariControllerError::SafariControllerError(Kind kind, QString message, BrowserCapabilities missing)
    : kind_(kind), message_(std::move(message)), missing_(missing), what_(description().toUtf8()) {}

SafariControllerError SafariControllerError::automationFailure(const QString &message) {
    return {Kind::automationFailure, message, {}};
}
SafariControllerError SafariControllerError::unsupported(BrowserCapabilities missing) {
    return {Kind::unsupported, {}, missing};
}
SafariControllerError SafariControllerError::safariNotRunning() { return {Kind::safariNotRunning, {}, {}}; }
SafariControllerError SafariControllerError::permissionDenied() { return {Kind::permissionDenied, {}, {}}; }
SafariControllerError SafariControllerError::windowNotFound() { return {Kind::windowNotFound, {}, {}}; }
SafariControllerError SafariControllerError::tabNotFound() { return {Kind::tabNotFound, {}, {}}; }

QString SafariControllerError::description() const {
    switch (kind_) {
    case Kind::automationFailure: {
        QString escaped = message_;
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        return QStringLiteral("automationFailure(\"%1\")").arg(escaped);
    }
    case Kind::unsupported:
        return QStringLiteral("unsupported(%1)").arg(missing_.description());
    case Kind::safariNotRunning: return QStringLiteral("safariNotRunning");
    case Kind::permissionDenied: return QStringLiteral("permissionDenied");
    case Kind::windowNotFound: return QStringLiteral("windowNotFound");
    case Kind::tabNotFound: return QStringLiteral("tabNotFound");
    }
    return {};
}

}  // namespace ondrake
