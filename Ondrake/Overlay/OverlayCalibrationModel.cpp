#include "Overlay/OverlayCalibrationModel.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

const std::array<OverlayCalibrationModel::Field, 4> &OverlayCalibrationModel::fields() {
    static const std::array<Field, 4> all = {{
        {QT_TRANSLATE_NOOP("ondrake::OverlayCalibrationView", "From window top"), &SafariChromeInsets::fromTop, 0, 400, 1},
        {QT_TRANSLATE_NOOP("ondrake::OverlayCalibrationView", "Height"), &SafariChromeInsets::height, 16, 80, 1},
        {QT_TRANSLATE_NOOP("ondrake::OverlayCalibrationView", "Inset from left"), &SafariChromeInsets::fromLeft, 0, 600, 1},
        {QT_TRANSLATE_NOOP("ondrake::OverlayCalibrationView", "Inset from right"), &SafariChromeInsets::fromRight, 0, 600,
         1},
    }};
    return all;
}

QString OverlayCalibrationModel::versionName(const std::optional<QString> &safariVersion) {
    return safariVersion ? QStringLiteral("Safari ") + *safariVersion : QStringLiteral("this Safari");
}

OverlayCalibrationModel::OverlayCalibrationModel(QObject *parent) : QObject(parent) {}

void OverlayCalibrationModel::setInsets(const SafariChromeInsets &insets) {
    if (insets == insets_) return;
    insets_ = insets;
    Q_EMIT insetsChanged();
}

void OverlayCalibrationModel::setHasStoredCalibration(bool stored) {
    if (stored == hasStoredCalibration_) return;
    hasStoredCalibration_ = stored;
    Q_EMIT hasStoredCalibrationChanged();
}

void OverlayCalibrationModel::setSafariVersion(const QString &name) {
    if (name == safariVersion_) return;
    safariVersion_ = name;
    Q_EMIT safariVersionChanged();
}

void OverlayCalibrationModel::edit(const Field &field, double value) {
    // Text that reads as no number at all leaves the field as it was.
    if (std::isnan(value)) return;
    auto insets = insets_;
    insets.*field.member = std::clamp(value, field.minimum, field.maximum);
    setInsets(insets);
    if (onEdit) onEdit(insets_);
}

}  // namespace ondrake
