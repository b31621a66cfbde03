#pragma once

#include "Overlay/SafariChromeInsets.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace ondrake {

// What the calibration window shows and edits: the live calibration's four numbers, whether one
// is stored for this Safari, and the shell's handlers for its buttons. Writing an equal value is
// not a change. Main thread.
class OverlayCalibrationModel final : public QObject {
    Q_OBJECT
public:
    // One of the four numbers the window edits, with its limits.
    struct Field {
        const char *label;  // the English caption; the view translates it
        double SafariChromeInsets::*member;
        double minimum;
        double maximum;
        double step;
    };
    // In the order the window lists them.
    static const std::array<Field, 4> &fields();

    // "Safari 17.4" for a known version, "this Safari" without one.
    static QString versionName(const std::optional<QString> &safariVersion);

    explicit OverlayCalibrationModel(QObject *parent = nullptr);

    const SafariChromeInsets &insets() const { return insets_; }
    void setInsets(const SafariChromeInsets &insets);
    bool hasStoredCalibration() const { return hasStoredCalibration_; }
    void setHasStoredCalibration(bool stored);
    const QString &safariVersion() const { return safariVersion_; }
    void setSafariVersion(const QString &name);

    // A value typed or stepped into one field: clamped to the field's limits, written into the
    // insets, and the whole insets handed to `onEdit`.
    void edit(const Field &field, double value);

    // Set by the shell; each does nothing until then.
    std::function<void(const SafariChromeInsets &)> onEdit = [](const SafariChromeInsets &) {};
    std::function<void()> onSave = [] {};
    std::function<void()> onCancel = [] {};
    std::function<void()> onResetToAutomatic = [] {};

Q_SIGNALS:
    void insetsChanged();
    void hasStoredCalibrationChanged();
    void safariVersionChanged();

private:
    SafariChromeInsets insets_{.fromTop = 52, .fromLeft = 0, .fromRight = 0, .height = 28};
    bool hasStoredCalibration_ = false;
    QString safariVersion_ = QStringLiteral("Safari");
};

}  // namespace ondrake
