#pragma once

#include "Overlay/OverlayCalibrationModel.h"

#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace ondrake {

// The content of the "Calibrate Overlay" window: the four numbers that place the bar relative to
// Safari's window, each typed or stepped, and Save, Cancel and (with a stored calibration) Use
// Automatic. It edits nothing itself: every change goes to the model and out through its
// closures, and every change of the model shows. Return saves and Escape cancels.
class OverlayCalibrationView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 420;
    static constexpr int fieldWidth = 64;
    // Fixed captions, in the user's language.
    static QString title();
    static QString explanation();
    static QString useAutomaticHelp();
    static QString fieldLabel(const OverlayCalibrationModel::Field &field);
    static QString noteText(const QString &safariVersion);
    // The value as the field shows it: in the current locale, without fraction digits.
    static QString formatted(double value);
    // NaN when the text reads as no number.
    static double parsed(const QString &text);

    explicit OverlayCalibrationView(OverlayCalibrationModel &model, QWidget *parent = nullptr);
    ~OverlayCalibrationView() override;

    QLineEdit &valueField(std::size_t row) const { return *rows_.at(row).field; }
    QToolButton &stepUp(std::size_t row) const { return *rows_.at(row).up; }
    QToolButton &stepDown(std::size_t row) const { return *rows_.at(row).down; }
    QLabel &note() const { return *note_; }
    QPushButton &useAutomaticButton() const { return *useAutomatic_; }
    QPushButton &cancelButton() const { return *cancel_; }
    QPushButton &saveButton() const { return *save_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Row {
        const OverlayCalibrationModel::Field *definition = nullptr;
        QLineEdit *field = nullptr;
        QToolButton *up = nullptr;
        QToolButton *down = nullptr;
    };
    void commit(const Row &row);
    void step(const Row &row, double direction);
    void refresh();
    void save();

    OverlayCalibrationModel &model_;
    std::vector<Row> rows_;
    QLabel *note_ = nullptr;
    QPushButton *useAutomatic_ = nullptr;
    QPushButton *cancel_ = nullptr;
    QPushButton *save_ = nullptr;
};

}  // namespace ondrake
