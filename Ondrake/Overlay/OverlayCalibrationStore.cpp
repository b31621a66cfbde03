#include "Overlay/OverlayCalibrationStore.h"

#include "FoundationJson.h"

#include <cmath>

namespace ondrake {

namespace {

const QString kUnknown = QStringLiteral("unknown");

// The stored document's members; nothing unless it is a JSON object.
std::optional<QJsonObject> storedMembers(const UserDefaults &defaults) {
    const auto bytes = defaults.dataForKey(OverlayCalibrationStore::defaultsKey);
    if (!bytes) return std::nullopt;
    const auto document = json::parse(*bytes);
    if (!document || !document->isObject()) return std::nullopt;
    return document->object();
}

std::optional<OverlayCalibration> decode(const QJsonValue &value, const QString &key) {
    try {
        return OverlayCalibration::fromJson(value, key);
    } catch (const json::DecodingError &) {
        return std::nullopt;
    }
}

bool isWritable(const OverlayCalibration &c) {
    const auto &i = c.insets;
    return std::isfinite(i.fromTop) && std::isfinite(i.fromLeft) && std::isfinite(i.fromRight) &&
           std::isfinite(i.height) && c.savedAt.isValid();
}

}  // namespace

QString OverlayCalibrationStore::key(const std::optional<QString> &safariVersion) {
    if (!safariVersion) return kUnknown;
    const auto pieces = safariVersion->split(QLatin1Char('.'), Qt::SkipEmptyParts);
    return pieces.isEmpty() ? kUnknown : pieces.front();
}

std::optional<OverlayCalibration> OverlayCalibrationStore::load(const std::optional<QString> &safariVersion) const {
    const auto all = readAll();
    const auto it = all.find(key(safariVersion));
    if (it == all.end()) return std::nullopt;
    return it->second;
}

void OverlayCalibrationStore::save(const SafariChromeInsets &insets, const std::optional<QString> &safariVersion) {
    auto all = readAll();
    all.insert_or_assign(key(safariVersion),
                         OverlayCalibration{safariVersion.value_or(kUnknown), insets, clock_.wallNow()});
    writeAll(all);
}

void OverlayCalibrationStore::forget(const std::optional<QString> &safariVersion) {
    auto all = readAll();
    const auto dropped = key(safariVersion);
    all.erase(dropped);
    write(all, dropped);
}

OverlayCalibrationStore::Calibrations OverlayCalibrationStore::readAll() const {
    Calibrations all;
    const auto members = storedMembers(defaults_);
    if (!members) return all;
    for (auto it = members->begin(); it != members->end(); ++it)
        if (auto calibration = decode(it.value(), it.key())) all.emplace(it.key(), std::move(*calibration));
    return all;
}

void OverlayCalibrationStore::writeAll(const Calibrations &calibrations) { write(calibrations, std::nullopt); }

void OverlayCalibrationStore::write(const Calibrations &calibrations, const std::optional<QString> &droppedKey) {
    QJsonObject document;
    if (const auto members = storedMembers(defaults_)) {
        for (auto it = members->begin(); it != members->end(); ++it) {
            if (it.key() == droppedKey || calibrations.contains(it.key())) continue;
            if (!decode(it.value(), it.key())) document.insert(it.key(), it.value());
        }
    }
    for (const auto &[key, calibration] : calibrations) {
        if (!isWritable(calibration)) return;
        document.insert(key, calibration.toJson());
    }
    defaults_.setData(defaultsKey, json::write(document));
}

}  // namespace ondrake
