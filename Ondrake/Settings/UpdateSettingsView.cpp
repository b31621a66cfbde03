#include "Ondrake/Settings/UpdateSettingsView.h"

#include "Ondrake/Settings/SettingsStyle.h"
#include "Ondrake/Settings/UpdateSettings.h"

#include "Settings/UpdateController.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace ondrake {

namespace {

QFrame *section(QWidget *parent, QLayout *layout) {
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setLayout(layout);
    layout->setContentsMargins(10, 8, 10, 8);
    return frame;
}

}  // namespace

UpdateSettingsView::UpdateSettingsView(UpdateController &updates, std::optional<QVariantMap> info, QWidget *parent)
    : QWidget(parent), updates_(updates), info_(std::move(info)) {
    setFixedWidth(settings_style::kPaneWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);

    auto *toggles = new QVBoxLayout;
    toggles->setSpacing(8);
    checks_ = new QCheckBox(tr("Check for updates automatically"));
    checks_->setObjectName(QStringLiteral("checksAutomatically"));
    checksNote_ = settings_style::note({});
    checksNote_->setObjectName(QStringLiteral("checksNote"));
    downloads_ = new QCheckBox(tr("Download updates in the background"));
    downloads_->setObjectName(QStringLiteral("downloadsAutomatically"));
    for (auto *toggle : {checks_, downloads_}) {
        toggle->setAccessibleName(toggle->text());
        toggle->setFocusPolicy(Qt::StrongFocus);
    }
    for (auto [toggle, note] : {std::pair<QWidget *, QWidget *>{checks_, checksNote_},
                                {downloads_, settings_style::note(backgroundDownloadNote())}}) {
        auto *block = new QVBoxLayout;
        block->setSpacing(2);
        block->setContentsMargins(0, 4, 0, 4);
        block->addWidget(toggle);
        block->addWidget(note);
        toggles->addLayout(block);
    }
    layout->addWidget(section(this, toggles));

    auto *checkRow = new QHBoxLayout;
    checkNow_ = new QPushButton(tr("Check Now"));
    checkNow_->setObjectName(QStringLiteral("checkNow"));
    checkNow_->setAccessibleName(checkNow_->text());
    checkNow_->setFocusPolicy(Qt::StrongFocus);
    lastCheck_ = new QLabel;
    lastCheck_->setObjectName(QStringLiteral("lastCheck"));
    lastCheck_->setFont(settings_style::font(lastCheck_, 11));
    settings_style::makeSecondary(lastCheck_);
    checkRow->addWidget(checkNow_);
    checkRow->addStretch(1);
    checkRow->addWidget(lastCheck_);
    layout->addWidget(section(this, checkRow));

    auto *about = new QFormLayout;
    version_ = new QLabel;
    version_->setObjectName(QStringLiteral("version"));
    version_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // One line that can be selected and copied; it keeps the end of a long address in view.
    feed_ = new QLineEdit;
    feed_->setObjectName(QStringLiteral("feed"));
    feed_->setReadOnly(true);
    feed_->setFrame(false);
    feed_->setFont(settings_style::font(feed_, 11));
    QPalette quiet = feed_->palette();
    quiet.setColor(QPalette::Text, quiet.color(QPalette::PlaceholderText));
    quiet.setColor(QPalette::Base, Qt::transparent);
    feed_->setPalette(quiet);
    feed_->setAccessibleName(tr("Update feed"));
    about->addRow(tr("Version"), version_);
    about->addRow(tr("Update feed"), feed_);
    version_->setAccessibleName(tr("Version"));
    layout->addWidget(section(this, about));
    layout->addStretch(1);

    connect(checks_, &QCheckBox::toggled, this, [this](bool on) {
        updates_.setChecksAutomatically(on);
        reload();
    });
    connect(downloads_, &QCheckBox::toggled, this, [this](bool on) {
        updates_.setDownloadsAutomatically(on);
        reload();
    });
    connect(checkNow_, &QPushButton::clicked, this, [this] { checkForUpdatesNow(updates_.updater()); });
    for (auto signal : {&UpdateController::checksAutomaticallyChanged, &UpdateController::downloadsAutomaticallyChanged,
                        &UpdateController::canCheckChanged, &UpdateController::lastCheckChanged,
                        &UpdateController::allowsAutomaticDownloadsChanged})
        connect(&updates_, signal, this, &UpdateSettingsView::reload);
    reload();
}

void UpdateSettingsView::reload() {
    {
        const QSignalBlocker block(checks_);
        checks_->setChecked(updates_.checksAutomatically());
    }
    checksNote_->setText(automaticChecksNote(updates_.checksAutomatically()));
    {
        const QSignalBlocker block(downloads_);
        downloads_->setChecked(updates_.downloadsAutomatically());
    }
    downloads_->setEnabled(updates_.allowsAutomaticDownloads());
    checkNow_->setEnabled(updates_.canCheck());
    lastCheck_->setText(lastCheckText(updates_.lastCheck()));
    version_->setText(versionText(info_));
    const QString feed = feedText(updates_.updater().feedURL());
    if (feed_->text() != feed) {
        feed_->setText(feed);
        feed_->setToolTip(feed);
    }
    feed_->end(false);
}

void UpdateSettingsView::showEvent(QShowEvent *event) {
    updates_.refreshFromUpdater();
    reload();
    QWidget::showEvent(event);
}

void UpdateSettingsView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    feed_->end(false);
}

}  // namespace ondrake
