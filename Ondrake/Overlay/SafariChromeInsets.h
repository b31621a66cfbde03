#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace ondrake {

// Where Safari's tab row lies inside its window, in points: `fromTop` below the window's top
// edge, `fromLeft` and `fromRight` in from its sides, `height` tall.
struct SafariChromeInsets {
    double fromTop = 0;
    double fromLeft = 0;
    double fromRight = 0;
    double height = 0;

    bool operator==(const SafariChromeInsets &) const = default;

    // Where Safari draws its row when nothing better is known: under a toolbar 52 points tall.
    // The same for every version so far; fromLeft and fromRight are 0.
    static SafariChromeInsets calculated(const std::optional<QString> &safariVersion);

    QJsonObject toJson() const;
    // Every member is required; throws json::DecodingError.
    static SafariChromeInsets fromJson(const QJsonValue &value, const QString &path = {});
};

}  // namespace ondrake
