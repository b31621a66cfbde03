#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace ondrake {

// The host under which a page's favicon is fetched and cached: the web URL's host in lower case,
// in its ASCII form, without one leading "www.". Nothing for other schemes or a URL without a host.
std::optional<QString> faviconHost(const std::optional<QUrl> &url);

}  // namespace ondrake
