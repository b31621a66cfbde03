#include "SidebarState.h"

namespace ondrake {

QString SidebarState::description() const {
    switch (kind) {
    case Kind::failed: {
        QString escaped = message;
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        return QStringLiteral("failed(\"%1\")").arg(escaped);
    }
    case Kind::loading: return QStringLiteral("loading");
    case Kind::ready: return QStringLiteral("ready");
    case Kind::safariNotRunning: return QStringLiteral("safariNotRunning");
    case Kind::permissionRequired: return QStringLiteral("permissionRequired");
    }
    return {};
}

}  // namespace ondrake
