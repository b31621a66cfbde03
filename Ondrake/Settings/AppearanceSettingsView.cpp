#include "Ondrake/Settings/AppearanceSettingsView.h"

#include "Ondrake/Settings/AppearanceSettings.h"
#include "Ondrake/Settings/SettingsStyle.h"

#include "Store/TabStore.h"
#include "UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

QFrame *section(QWidget *parent) {
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    return frame;
}

// Family headers sit in the list as entries that cannot be chosen.
void fillThemePicker(QComboBox &picker) {
    auto *model = new QStandardItemModel(&picker);
    for (const ThemePickerSection &s : themePickerSections()) {
        if (!s.header.isEmpty()) {
            auto *header = new QStandardItem(QCoreApplication::translate("AppearanceSettingsView", s.header.toUtf8().constData()));
            header->setFlags(Qt::NoItemFlags);
            QFont bold = picker.font();
            bold.setBold(true);
            header->setFont(bold);
            model->appendRow(header);
        }
        for (const SidebarThemeChoice choice : s.choices) {
            auto *item = new QStandardItem(displayName(choice));
            item->setData(int(choice), Qt::UserRole);
            model->appendRow(item);
        }
    }
    picker.setModel(model);
}

// The picker makes its list wide enough for its entries in its own font; the headers are bold, and
// wider. The picker widens by the difference, and its list with it.
void fitThemeList(QComboBox &picker) {
    int widestEntry = 0;
    int widestHeader = 0;
    for (int row = 0; row < picker.count(); ++row) {
        const QModelIndex index = picker.model()->index(row, 0);
        const QVariant font = index.data(Qt::FontRole);
        const int width = QFontMetrics(font.isValid() ? font.value<QFont>() : picker.font())
                              .horizontalAdvance(index.data().toString());
        (font.isValid() ? widestHeader : widestEntry) = std::max(font.isValid() ? widestHeader : widestEntry, width);
    }
    picker.setMinimumWidth(picker.sizeHint().width() + std::max(0, widestHeader - widestEntry));
}

}  // namespace

AppearanceSettingsView::AppearanceSettingsView(TabStore &store, UserDefaults &defaults, SettingsPanelGeometry geometry,
                                               QWidget *parent)
    : QWidget(parent), store_(store), defaults_(defaults), geometry_(std::move(geometry)) {
    setFixedWidth(settings_style::kPaneWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);

    auto *first = section(this);
    auto *themeRow = new QHBoxLayout;
    auto *themeCaption = new QLabel(tr("Theme"), first);
    theme_ = new QComboBox(first);
    theme_->setObjectName(QStringLiteral("theme"));
    theme_->setAccessibleName(tr("Theme"));
    theme_->setFocusPolicy(Qt::StrongFocus);
    themeCaption->setBuddy(theme_);
    fillThemePicker(*theme_);
    themeRow->addWidget(themeCaption);
    themeRow->addStretch(1);
    themeRow->addWidget(theme_);
    first->layout()->addItem(themeRow);
    themeDescription_ = settings_style::note({}, first);
    themeDescription_->setObjectName(QStringLiteral("themeDescription"));
    first->layout()->addWidget(themeDescription_);
    first->layout()->addWidget(sliderRow(tr("Corner radius"), QStringLiteral("cornerRadius"), 0, 40, cornerRadius_,
                                         cornerRadiusValue_));
    first->layout()->addWidget(settings_style::note(
        tr("How round the sidebar's own corners are. Set to match Safari's window, or to taste — there is no way to "
           "read Safari's exact value back."),
        first));
    layout->addWidget(first);

    auto *second = section(this);
    rail_ = new QCheckBox(tr("Favicon-only rail"), second);
    rail_->setObjectName(QStringLiteral("rail"));
    rail_->setAccessibleName(rail_->text());
    rail_->setFocusPolicy(Qt::StrongFocus);
    second->layout()->addWidget(rail_);
    second->layout()->addWidget(settings_style::note(compactRailNote(), second));
    second->layout()->addWidget(
        sliderRow(tr("Rail width"), QStringLiteral("railWidth"), 48, 120, railWidth_, railWidthValue_));
    expandSafari_ = new QCheckBox(tr("Let Safari expand into the freed space"), second);
    expandSafari_->setObjectName(QStringLiteral("expandSafari"));
    expandSafari_->setAccessibleName(expandSafari_->text());
    expandSafari_->setFocusPolicy(Qt::StrongFocus);
    second->layout()->addWidget(expandSafari_);
    second->layout()->addWidget(settings_style::note(
        tr("When collapsing, Safari's window grows left to fill the space the rail gave up, instead of leaving it "
           "empty on screen. Undone when you expand the rail again."),
        second));
    layout->addWidget(second);
    layout->addStretch(1);

    connect(theme_, &QComboBox::activated, this, [this](int index) {
        const QVariant choice = theme_->itemData(index, Qt::UserRole);
        if (choice.isValid()) storeThemeChoice(defaults_, SidebarThemeChoice(choice.toInt()));
        reload();
    });
    connect(cornerRadius_, &QSlider::valueChanged, this, [this](int value) {
        geometry_.setCornerRadius(value);
        reload();
    });
    connect(railWidth_, &QSlider::valueChanged, this, [this](int value) {
        geometry_.setCompactWidth(value);
        reload();
    });
    connect(rail_, &QCheckBox::toggled, this, [this](bool on) {
        if (on != store_.isCompact()) store_.setCompact(on);
        reload();
    });
    connect(expandSafari_, &QCheckBox::toggled, this, [this](bool on) {
        storeExpandsSafariWhenCompact(defaults_, on);
        reload();
    });
    connect(&store_, &TabStore::isCompactChanged, this, &AppearanceSettingsView::reload);
    connect(&defaults_, &UserDefaults::didChange, this, &AppearanceSettingsView::reload);
    reload();
}

QWidget *AppearanceSettingsView::sliderRow(const QString &caption, const QString &name, int minimum, int maximum,
                                           QSlider *&slider, QLabel *&value) {
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(caption, row);
    slider = new QSlider(Qt::Horizontal, row);
    slider->setObjectName(name);
    slider->setAccessibleName(caption);
    slider->setFocusPolicy(Qt::StrongFocus);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(1);
    slider->setPageStep(4);
    slider->setFixedWidth(160);
    label->setBuddy(slider);
    value = new QLabel(row);
    value->setObjectName(name + QStringLiteral("Value"));
    QFont digits = settings_style::font(value, 11);
    digits.setStyleHint(QFont::Monospace);
    value->setFont(digits);
    settings_style::makeSecondary(value);
    value->setFixedWidth(36);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(label);
    layout->addStretch(1);
    layout->addWidget(slider);
    layout->addWidget(value);
    return row;
}

void AppearanceSettingsView::reload() {
    const SidebarThemeChoice choice = storedSidebarThemeChoice(defaults_);
    {
        const QSignalBlocker block(theme_);
        theme_->setCurrentIndex(theme_->findData(int(choice), Qt::UserRole));
    }
    themeDescription_->setText(themeDescription(choice));

    const auto showPoints = [](QSlider *slider, QLabel *label, double points) {
        const QSignalBlocker block(slider);
        slider->setValue(int(std::lround(points)));
        label->setText(wholePointsText(points));
        slider->setAccessibleDescription(label->text());
    };
    showPoints(cornerRadius_, cornerRadiusValue_, geometry_.getCornerRadius());
    showPoints(railWidth_, railWidthValue_, geometry_.getCompactWidth());

    const QSignalBlocker blockRail(rail_);
    rail_->setChecked(store_.isCompact());
    const QSignalBlocker blockExpand(expandSafari_);
    expandSafari_->setChecked(expandsSafariWhenCompact(defaults_));
}

void AppearanceSettingsView::showEvent(QShowEvent *event) {
    reload();
    QWidget::showEvent(event);
    fitThemeList(*theme_);  // measured in the style and fonts it is shown in
}

}  // namespace ondrake
