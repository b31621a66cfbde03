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

// Equality that first asks whether both are one shared value. A poll hands most addresses on
// as they were, and comparing two URLs part by part reads memory all over the heap.
bool sameURL(const QUrl &a, const QUrl &b);
bool sameURL(const std::optional<QUrl> &a, const std::optional<QUrl> &b);

}  // namespace ondrake
