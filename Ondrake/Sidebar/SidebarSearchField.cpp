#include "Ondrake/Sidebar/SidebarSearchField.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarIconButton.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"
#include "Ondrake/Sidebar/TabActivation.h"

#include "Async.h"
#include "Store/TabStore.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

namespace ondrake {

namespace {
constexpr int kGlassSize = 11;
}

SidebarSearchField::SidebarSearchField(TabStore &store, SidebarEnvironment *environment, QWidget *parent)
    : QWidget(parent), store_(store), environment_(environment) {
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(kGlassSize + 6, 0, 0, 0);  // the glass is painted in the margin
    row->setSpacing(6);

    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("sidebarSearchField"));
    field_->setFrame(false);
    field_->setPlaceholderText(tr("Search tabs"));
    field_->setAccessibleName(tr("Search tabs"));
    QFont font = field_->font();
    font.setPixelSize(12);
    field_->setFont(font);
    field_->installEventFilter(this);
    row->addWidget(field_, 1);

    close_ = new SidebarIconButton(SidebarHeaderModel::closeSearchButton(), 11, environment, this);
    row->addWidget(close_);

    connect(field_, &QLineEdit::textEdited, this, [this](const QString &text) { store_.setSearchQuery(text); });
    connect(&store_, &TabStore::searchQueryChanged, this, &SidebarSearchField::showQuery);
    connect(close_, &QToolButton::clicked, this, [this] { store_.toggleSearch(); });
    if (environment) connect(environment, &SidebarEnvironment::themeChanged, this, &SidebarSearchField::applyTheme);
    showQuery();
    applyTheme();
}

void SidebarSearchField::focusField() { field_->setFocus(Qt::ShortcutFocusReason); }

bool SidebarSearchField::eventFilter(QObject *watched, QEvent *event) {
    if (watched != field_) return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (const auto key = searchKey(static_cast<QKeyEvent *>(event)->key())) {
            handle(*key);
            return true;
        }
        break;
    case QEvent::ShortcutOverride:
        // Escape and the arrows belong to the field while it has focus, not to a window shortcut.
        if (searchKey(static_cast<QKeyEvent *>(event)->key())) event->accept();
        break;
    case QEvent::FocusIn: setFocused(true); break;
    case QEvent::FocusOut: setFocused(false); break;
    default: break;
    }
    return false;
}

void SidebarSearchField::handle(SearchKey key) {
    switch (key) {
    case SearchKey::previous: store_.moveSearchSelection(-1); break;
    case SearchKey::next: store_.moveSearchSelection(1); break;
    case SearchKey::activate:
        startDetached(TabActivation::activateHighlightedResult(store_), Logger(QStringLiteral("Sidebar")),
                      QStringLiteral("Opening a search result"));
        break;
    case SearchKey::escape: store_.closeSearch(); break;
    }
}

void SidebarSearchField::showQuery() {
    if (field_->text() != store_.searchQuery()) field_->setText(store_.searchQuery());
}

void SidebarSearchField::setFocused(bool focused) {
    if (focused == focused_) return;
    focused_ = focused;
    emit fieldFocusChanged(focused);
}

void SidebarSearchField::applyTheme() {
    const auto &theme = environment_ ? environment_->theme() : SidebarThemeTokens::light();
    const QPalette &colours = environment_ ? environment_->palette() : this->palette();
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, theme.foreground.resolved(colours));
    palette.setColor(QPalette::PlaceholderText, theme.mutedForeground.resolved(colours));
    field_->setPalette(palette);
    update();
}

void SidebarSearchField::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto &theme = environment_ ? environment_->theme() : SidebarThemeTokens::light();
    const QRectF glass(0, (height() - kGlassSize) / 2.0, kGlassSize, kGlassSize);
    SymbolCatalog::paint(painter, u"magnifyingglass", glass, theme.mutedForeground.resolved(palette()));
}

}  // namespace ondrake
