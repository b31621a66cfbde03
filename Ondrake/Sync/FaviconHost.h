#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace ondrake {

// The host under which a page's favicon is fetched and cached: the lower-cased host of an http
// or https address without a leading "www." label. Nothing for any other address. The favicon
// loader answers with this, and the records derive their favicon host from it.
std::optional<QString> faviconHost(const std::optional<QUrl> &url);

}  // namespace ondrake
