#include "Overlay/SafariChromeInsets.h"

#include "FoundationJson.h"

namespace ondrake {

SafariChromeInsets SafariChromeInsets::calculated(const std::optional<QString> &) {
    return {.fromTop = 52, .fromLeft = 0, .fromRight = 0, .height = 28};
}

QJsonObject SafariChromeInsets::toJson() const {
    return {{QStringLiteral("fromTop"), fromTop},
            {QStringLiteral("fromLeft"), fromLeft},
            {QStringLiteral("fromRight"), fromRight},
            {QStringLiteral("height"), height}};
}

SafariChromeInsets SafariChromeInsets::fromJson(const QJsonValue &value, const QString &path) {
    const auto reader = json::Reader::of(value, path);
    const auto number = [&](const QString &key) {
        if (!reader.has(key)) reader.fail(key, QStringLiteral("is missing"));
        return *reader.optionalDouble(key);
    };
    return {.fromTop = number(QStringLiteral("fromTop")),
            .fromLeft = number(QStringLiteral("fromLeft")),
            .fromRight = number(QStringLiteral("fromRight")),
            .height = number(QStringLiteral("height"))};
}

}  // namespace ondrake
