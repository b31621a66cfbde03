#include "Ondrake/Settings/FeatureFlagsSettingsView.h"

#include "Ondrake/Settings/FeatureFlagsSettings.h"
#include "Ondrake/Settings/SettingsStyle.h"

#include "Store/TabStore.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace ondrake {

FeatureFlagsSettingsView::FeatureFlagsSettingsView(TabStore &store, QWidget *parent) : QWidget(parent), store_(store) {
    setFixedWidth(settings_style::kPaneWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(0);
    for (const FeatureFlag &flag : FeatureFlag::all()) {
        auto *entry = new QWidget(this);
        auto *column = new QVBoxLayout(entry);
        column->setContentsMargins(0, 4, 0, 4);
        column->setSpacing(2);
        // A title's "&" is text, not a mnemonic marker.
        auto *toggle = new QCheckBox(QString(flag.title).replace(QLatin1Char('&'), QStringLiteral("&&")), entry);
        toggle->setObjectName(flag.key);
        toggle->setAccessibleName(flag.title);
        toggle->setFocusPolicy(Qt::StrongFocus);
        auto *description = settings_style::note(flag.summary, entry);
        description->setObjectName(flag.key + QStringLiteral(".description"));
        column->addWidget(toggle);
        column->addWidget(description);
        layout->addWidget(entry);
        connect(toggle, &QCheckBox::toggled, this, [this, flag](bool on) {
            setFeatureFlag(store_.flags(), flag, on);
            reload();
        });
        entries_.push_back({flag, toggle, description});
    }
    layout->addStretch(1);
    connect(&store_, &TabStore::flagsVersionChanged, this, &FeatureFlagsSettingsView::reload);
    reload();
}

void FeatureFlagsSettingsView::reload() {
    const auto rows = featureFlagRows(store_.flags());
    for (std::size_t i = 0; i < rows.size() && i < entries_.size(); ++i) {
        const QSignalBlocker block(entries_[i].toggle);
        entries_[i].toggle->setChecked(rows[i].isOn);
        entries_[i].toggle->setEnabled(!rows[i].isForced);
        entries_[i].description->setText(rows[i].description);
        entries_[i].toggle->setAccessibleDescription(rows[i].description);
    }
}

void FeatureFlagsSettingsView::showEvent(QShowEvent *event) {
    reload();
    QWidget::showEvent(event);
}

}  // namespace ondrake
