#include "OndrakeExtensionProtocol.h"

#include "Paths.h"

#include <QDir>

namespace ondrake::OndrakeExtensionProtocol {

std::optional<QString> exchangeDirectory(bool creatingIfNeeded, const QString &realHome) {
    if (realHome.isEmpty()) return std::nullopt;
    const QString folder = QDir(realHome).filePath(QStringLiteral("Library/Containers/") + extensionBundleIdentifier
                                                   + QStringLiteral("/Data/Library/Application Support/Ondrake"));
    if (creatingIfNeeded) QDir().mkpath(folder);
    return folder;
}

std::optional<QString> exchangeDirectory(bool creatingIfNeeded) {
    return exchangeDirectory(creatingIfNeeded, Paths::system().home);
}

}  // namespace ondrake::OndrakeExtensionProtocol
