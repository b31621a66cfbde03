#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace ondrake {

// The browser reports addresses as text. A text "parses" when it is a well-formed URL (absolute
// or relative); an empty or malformed text gives nothing.
std::optional<QUrl> parseURL(const QString &text);

// The absolute text of a parsed URL, the form the browser is handed back and records keep.
QString absoluteText(const QUrl &url);
QString absoluteText(const std::optional<QUrl> &url);  // empty when absent

// The lower-cased scheme of a URL; empty when it has none.
QString lowerScheme(const QUrl &url);

}  // namespace ondrake
