#pragma once

#include "Overlay/SafariChromeGeometry.h"
#include "Overlay/TabBreadcrumb.h"

#include <QObject>
#include <QString>

#include <functional>

namespace ondrake {

// What the immersive bar shows, filled by the shell (title, breadcrumb, closures) and the
// coordinator (geometry, calibration). Writing an equal value is not a change. Main thread.
class OverlayBarModel final : public QObject {
    Q_OBJECT
public:
    explicit OverlayBarModel(QObject *parent = nullptr);

    const QString &title() const { return title_; }
    void setTitle(const QString &title);
    const TabBreadcrumb &breadcrumb() const { return breadcrumb_; }
    void setBreadcrumb(const TabBreadcrumb &breadcrumb);
    SafariChromeGeometrySource geometrySource() const { return geometrySource_; }
    void setGeometrySource(SafariChromeGeometrySource source);
    double confidence() const { return confidence_; }
    void setConfidence(double confidence);
    bool isCalibrating() const { return isCalibrating_; }
    void setCalibrating(bool calibrating);
    const QString &calibrationSummary() const { return calibrationSummary_; }
    void setCalibrationSummary(const QString &summary);

    // Set by the shell; each does nothing until then.
    std::function<void(const QString &tabID)> onActivateCrumb = [](const QString &) {};
    std::function<void()> onCommandPalette = [] {};
    std::function<void()> onMenu = [] {};

Q_SIGNALS:
    void titleChanged();
    void breadcrumbChanged();
    void geometrySourceChanged();
    void confidenceChanged();
    void calibratingChanged();
    void calibrationSummaryChanged();

private:
    QString title_;
    TabBreadcrumb breadcrumb_;
    SafariChromeGeometrySource geometrySource_ = SafariChromeGeometrySource::calculated;
    double confidence_ = 0;
    bool isCalibrating_ = false;
    QString calibrationSummary_;
};

}  // namespace ondrake
