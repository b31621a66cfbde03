#include "Overlay/OverlayCalibrationView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace ondrake {

namespace {

QFont sized(const QWidget &widget, int pixelSize, QFont::Weight weight = QFont::Normal) {
    QFont font = widget.font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

// Secondary text: the window text at reduced strength.
void makeSecondary(QLabel &label) {
    QPalette palette = label.palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.55f);
    palette.setColor(QPalette::WindowText, color);
    label.setPalette(palette);
}

QToolButton *stepButton(Qt::ArrowType arrow, const QString &name, QWidget *parent) {
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(18, 12);
    button->setFocusPolicy(Qt::TabFocus);
    button->setToolTip(name);
    button->setAccessibleName(name);
    return button;
}

}  // namespace

QString OverlayCalibrationView::title() { return tr("Calibrate the tab bar overlay"); }

QString OverlayCalibrationView::explanation() {
    return tr("Drag the outlined bar over Safari's tab row, or use the fields below. Safari's own tabs are unchanged "
              "underneath — this only decides where Ondrake draws.");
}

QString OverlayCalibrationView::useAutomaticHelp() {
    return tr("Forget this calibration and go back to detecting the tab row automatically.");
}

QString OverlayCalibrationView::fieldLabel(const OverlayCalibrationModel::Field &field) { return tr(field.label); }

QString OverlayCalibrationView::noteText(const QString &safariVersion) {
    return tr("Saved for %1. A Safari update may need a new calibration.").arg(safariVersion);
}

QString OverlayCalibrationView::formatted(double value) { return QLocale().toString(value, 'f', 0); }

double OverlayCalibrationView::parsed(const QString &text) {
    bool ok = false;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? value : std::numeric_limits<double>::quiet_NaN();
}

OverlayCalibrationView::OverlayCalibrationView(OverlayCalibrationModel &model, QWidget *parent)
    : QWidget(parent), model_(model) {
    setFixedWidth(fixedWidth);
    setAccessibleName(tr("Calibrate Overlay"));
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(20, 20, 20, 20);
    stack->setSpacing(14);

    auto *header = new QVBoxLayout;
    header->setSpacing(4);
    auto *heading = new QLabel(title(), this);
    heading->setFont(sized(*this, 13, QFont::Bold));
    auto *explaining = new QLabel(explanation(), this);
    explaining->setFont(sized(*this, 12));
    explaining->setWordWrap(true);
    makeSecondary(*explaining);
    header->addWidget(heading);
    header->addWidget(explaining);
    stack->addLayout(header);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    int r = 0;
    for (const auto &field : OverlayCalibrationModel::fields()) {
        const QString label = fieldLabel(field);
        auto *caption = new QLabel(label, this);
        grid->addWidget(caption, r, 0, Qt::AlignRight | Qt::AlignVCenter);

        Row row;
        row.definition = &field;
        row.field = new QLineEdit(this);
        row.field->setFixedWidth(fieldWidth);
        row.field->setAccessibleName(label);
        row.up = stepButton(Qt::UpArrow, tr("Increase %1").arg(label), this);
        row.down = stepButton(Qt::DownArrow, tr("Decrease %1").arg(label), this);
        auto *stepper = new QVBoxLayout;
        stepper->setSpacing(0);
        stepper->addWidget(row.up);
        stepper->addWidget(row.down);
        auto *unit = new QLabel(tr("pt"), this);
        makeSecondary(*unit);

        auto *line = new QHBoxLayout;
        line->setSpacing(6);
        line->addWidget(row.field);
        line->addLayout(stepper);
        line->addWidget(unit);
        line->addStretch();
        grid->addLayout(line, r, 1);

        const std::size_t index = rows_.size();
        connect(row.field, &QLineEdit::editingFinished, this, [this, index] { commit(rows_[index]); });
        connect(row.up, &QToolButton::clicked, this, [this, index] { step(rows_[index], +1); });
        connect(row.down, &QToolButton::clicked, this, [this, index] { step(rows_[index], -1); });
        rows_.push_back(row);
        ++r;
    }
    stack->addLayout(grid);

    note_ = new QLabel(this);
    note_->setTextFormat(Qt::PlainText);
    note_->setFont(sized(*this, 10));
    note_->setWordWrap(true);
    makeSecondary(*note_);
    stack->addWidget(note_);

    auto *buttons = new QHBoxLayout;
    useAutomatic_ = new QPushButton(tr("Use Automatic"), this);
    useAutomatic_->setToolTip(useAutomaticHelp());
    cancel_ = new QPushButton(tr("Cancel"), this);
    save_ = new QPushButton(tr("Save"), this);
    save_->setDefault(true);
    // Return belongs to Save wherever the focus is, as in any dialog.
    for (auto *button : {useAutomatic_, cancel_, save_}) button->setAutoDefault(false);
    buttons->addWidget(useAutomatic_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    stack->addLayout(buttons);

    connect(useAutomatic_, &QPushButton::clicked, this, [this] { model_.onResetToAutomatic(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { model_.onCancel(); });
    connect(save_, &QPushButton::clicked, this, [this] { save(); });
    connect(&model_, &OverlayCalibrationModel::insetsChanged, this, [this] { refresh(); });
    connect(&model_, &OverlayCalibrationModel::hasStoredCalibrationChanged, this, [this] { refresh(); });
    connect(&model_, &OverlayCalibrationModel::safariVersionChanged, this, [this] { refresh(); });
    refresh();
}

OverlayCalibrationView::~OverlayCalibrationView() = default;

void OverlayCalibrationView::commit(const Row &row) {
    if (!row.field->isModified()) return;
    row.field->setModified(false);
    model_.edit(*row.definition, parsed(row.field->text()));
    // Clamped, or not a number at all: the field shows what the model holds.
    refresh();
}

void OverlayCalibrationView::step(const Row &row, double direction) {
    commit(row);
    model_.edit(*row.definition, model_.insets().*row.definition->member + direction * row.definition->step);
}

void OverlayCalibrationView::save() {
    // A number still being typed counts.
    for (const auto &row : rows_) commit(row);
    model_.onSave();
}

void OverlayCalibrationView::refresh() {
    const auto &insets = model_.insets();
    for (const auto &row : rows_) {
        const double value = insets.*row.definition->member;
        if (!row.field->isModified()) row.field->setText(formatted(value));
        row.up->setEnabled(value < row.definition->maximum);
        row.down->setEnabled(value > row.definition->minimum);
    }
    note_->setText(noteText(model_.safariVersion()));
    useAutomatic_->setVisible(model_.hasStoredCalibration());
}

void OverlayCalibrationView::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: save(); return;
    case Qt::Key_Escape: model_.onCancel(); return;
    default: QWidget::keyPressEvent(event);
    }
}

}  // namespace ondrake
