#pragma once

#include <QString>

#include <optional>

// What the application and the extension handler agree on. Both programs build this folder from
// the same sources; neither links the other.
namespace ondrake::OndrakeExtensionProtocol {

inline constexpr qint64 version = 1;  // the writer puts it into every state
inline const QString extensionBundleIdentifier = QStringLiteral("com.ondrake.Ondrake.Extension");
inline const QString stateFileName = QStringLiteral("extension-state.json");
inline const QString stateChangedNotification = QStringLiteral("com.ondrake.Ondrake.state-changed");
// The longest message the handler takes: browsers send their extensions' hosts up to this much.
// The application does not read a state file larger than that; the file of a message close to the
// limit can be (every tab written with all its fields, slashes escaped), and is then ignored too.
inline constexpr qint64 maximumMessageLength = 64 * 1024 * 1024;

// The exchange folder inside the handler's container under `realHome`; nothing without a home.
// With `creatingIfNeeded` the folder is made with its parents, and a failure to make it is left
// for the write that follows to report.
std::optional<QString> exchangeDirectory(bool creatingIfNeeded, const QString &realHome);
// The same under the user's real home folder (from the password database, never $HOME, which a
// sandbox points into the program's container).
std::optional<QString> exchangeDirectory(bool creatingIfNeeded);

}  // namespace ondrake::OndrakeExtensionProtocol
