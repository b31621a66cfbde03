#include "Paths.h"

#include <QDir>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace ondrake {

QString realHomeFolder() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    passwd entry{};
    passwd *result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir)
        return QString::fromLocal8Bit(result->pw_dir);
    return {};  // no entry: there is no real home, and $HOME is not a stand-in for it
}

Paths Paths::system() {
    const QString testHome = qEnvironmentVariable(kTestRealHomeVariable);
    return Paths{
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
        QDir::tempPath(),
        testHome.isEmpty() ? realHomeFolder() : testHome,
    };
}

Paths Paths::under(const QString &root) {
    const QDir dir(root);
    return Paths{
        dir.filePath(QStringLiteral("Application Support")),
        dir.filePath(QStringLiteral("Caches")),
        dir.filePath(QStringLiteral("Preferences")),
        dir.filePath(QStringLiteral("tmp")),
        dir.filePath(QStringLiteral("home")),
    };
}

}  // namespace ondrake
