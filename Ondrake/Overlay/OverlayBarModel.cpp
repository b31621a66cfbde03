#include "Overlay/OverlayBarModel.h"

namespace ondrake {

namespace {
template<typename T, typename Signal>
void assign(OverlayBarModel *model, T &field, const T &value, Signal signal) {
    if (field == value) return;
    field = value;
    Q_EMIT(model->*signal)();
}
}  // namespace

OverlayBarModel::OverlayBarModel(QObject *parent) : QObject(parent) {}

void OverlayBarModel::setTitle(const QString &title) { assign(this, title_, title, &OverlayBarModel::titleChanged); }

void OverlayBarModel::setBreadcrumb(const TabBreadcrumb &breadcrumb) {
    assign(this, breadcrumb_, breadcrumb, &OverlayBarModel::breadcrumbChanged);
}

void OverlayBarModel::setGeometrySource(SafariChromeGeometrySource source) {
    assign(this, geometrySource_, source, &OverlayBarModel::geometrySourceChanged);
}

void OverlayBarModel::setConfidence(double confidence) {
    assign(this, confidence_, confidence, &OverlayBarModel::confidenceChanged);
}

void OverlayBarModel::setCalibrating(bool calibrating) {
    assign(this, isCalibrating_, calibrating, &OverlayBarModel::calibratingChanged);
}

void OverlayBarModel::setCalibrationSummary(const QString &summary) {
    assign(this, calibrationSummary_, summary, &OverlayBarModel::calibrationSummaryChanged);
}

}  // namespace ondrake
