#include "Ondrake/Sidebar/SidebarMessageView.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarText.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"
#include "Ondrake/Sidebar/WrappingLabel.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondrake {

namespace {
using sidebar::faded;
using sidebar::setTextColor;

QLabel *centredLabel(QWidget *parent, const QFont &font) {
    auto *label = new WrappingLabel(parent);
    label->setFont(font);
    return label;
}
}  // namespace

SidebarMessageView::SidebarMessageView(SidebarEnvironment *environment, OnAction onAction, QWidget *parent)
    : QWidget(parent), environment_(environment), onAction_(std::move(onAction)) {
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 0, 20, 0);
    column->setSpacing(10);
    column->addStretch(1);

    symbol_ = new QLabel(this);
    symbol_->setAlignment(Qt::AlignCenter);
    title_ = centredLabel(this, sidebar::sizedFont(font(), 13, QFont::DemiBold));
    text_ = centredLabel(this, sidebar::sizedFont(font(), 11));
    button_ = new QPushButton(this);
    button_->setFont(sidebar::sizedFont(font(), 11));
    note_ = centredLabel(this, sidebar::sizedFont(font(), 10));

    column->addWidget(symbol_);
    column->addWidget(title_);
    column->addWidget(text_);
    // The permission actions stand 6 points apart, below the 10 of the message.
    auto *actions = new QVBoxLayout;
    actions->setSpacing(6);
    actions->addWidget(button_, 0, Qt::AlignHCenter);
    actions->addWidget(note_);
    column->addLayout(actions);
    column->addStretch(1);

    connect(button_, &QPushButton::clicked, this, [this] {
        if (onAction_) onAction_(message_.action);
    });
    if (environment) connect(environment, &SidebarEnvironment::themeChanged, this, &SidebarMessageView::applyTheme);
    setMessage(SidebarMessage::noTabs());
}

void SidebarMessageView::setMessage(const SidebarMessage &message) {
    message_ = message;
    title_->setText(message.title);
    text_->setText(message.message);
    // A failure may come without words; the line keeps its place.
    text_->setVisible(true);
    button_->setText(SidebarMessage::actionTitle(message.action));
    button_->setAccessibleName(button_->text());
    button_->setVisible(message.action != SidebarMessage::Action::none);
    note_->setText(SidebarMessage::permissionNote());
    note_->setVisible(message.action == SidebarMessage::Action::openSystemSettings);
    applyTheme();
}

QPushButton *SidebarMessageView::actionButton() const {
    return message_.action == SidebarMessage::Action::none ? nullptr : button_;
}

void SidebarMessageView::applyTheme() {
    const auto &theme = environment_ ? environment_->theme() : SidebarThemeTokens::light();
    const QPalette &colours = environment_ ? environment_->palette() : palette();
    const QColor muted = theme.mutedForeground.resolved(colours);
    symbol_->setPixmap(SymbolCatalog::pixmap(message_.symbol, QSize(30, 30), faded(muted, 0.8), devicePixelRatioF()));
    setTextColor(title_, faded(theme.foreground.resolved(colours), 0.75));
    setTextColor(text_, muted);
    setTextColor(note_, faded(muted, 0.7));
}

LoadingView::LoadingView(SidebarEnvironment *environment, QWidget *parent)
    : QWidget(parent), environment_(environment) {
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addStretch(1);
    auto *spinner = new QProgressBar(this);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    // As wide as the rail allows, up to its own width.
    spinner->setFixedHeight(6);
    spinner->setMinimumWidth(16);
    spinner->setMaximumWidth(64);
    spinner->setAccessibleName(SidebarMessage::loadingText());
    column->addWidget(spinner, 0, Qt::AlignHCenter);
    text_ = centredLabel(this, sidebar::sizedFont(font(), 11));
    text_->setText(SidebarMessage::loadingText());
    column->addWidget(text_);
    column->addStretch(1);
    if (environment) connect(environment, &SidebarEnvironment::themeChanged, this, &LoadingView::applyTheme);
    applyTheme();
}

void LoadingView::applyTheme() {
    const auto &theme = environment_ ? environment_->theme() : SidebarThemeTokens::light();
    setTextColor(text_, theme.mutedForeground.resolved(environment_ ? environment_->palette() : palette()));
}

}  // namespace ondrake
