#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace ondrake {

// Stored addresses come from files that may have come from anywhere: an archive someone sent, a
// record file carried across. Only pages the browser shows for itself are opened from them: web
// pages, the browser's start page and the blank page. Never scripts, local files, inline data or
// an address relative to nothing.
bool isSafeToOpen(const QUrl &url);
// A stored address as text: safe when it parses to a safe address.
bool isSafeToOpen(const QString &address);

// The tail of a summary line that owns up to addresses left closed: " — 1 unsafe address not
// opened", " — 3 unsafe addresses not opened"; nothing for none.
QString unsafeAddressNote(qsizetype count);

}  // namespace ondrake
