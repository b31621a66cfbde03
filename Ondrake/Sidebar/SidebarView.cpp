#include "Ondrake/Sidebar/SidebarView.h"

#include "Ondrake/Sidebar/ElidedLabel.h"
#include "Ondrake/Sidebar/GroupPromptDialog.h"
#include "Ondrake/Sidebar/NewTabRow.h"
#include "Ondrake/Sidebar/ResizeHandle.h"
#include "Ondrake/Sidebar/SeamShading.h"
#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarHeaderModel.h"
#include "Ondrake/Sidebar/SidebarIconButton.h"
#include "Ondrake/Sidebar/SidebarMessageView.h"
#include "Ondrake/Sidebar/SidebarRowActions.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarText.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarThemeModifier.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"
#include "Ondrake/Sidebar/TabActivation.h"

#include "Async.h"
#include "Privacy.h"
#include "ScheduledAnimation.h"
#include "Scheduler.h"
#include "Store/TabStore.h"
#include "UserDefaults.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace ondrake {

namespace {
using sidebar::setTextColor;

const Logger &sidebarLogger() {
    static const Logger logger(QStringLiteral("Sidebar"));
    return logger;
}

}  // namespace

SidebarView::SidebarView(TabStore &store, Callbacks callbacks, Services services, QWidget *parent)
    : QWidget(parent),
      store_(store),
      callbacks_(std::move(callbacks)),
      scheduler_(services.scheduler),
      defaults_(services.defaults),
      privacy_(services.privacy),
      environment_(new SidebarEnvironment(this)),
      themeChoice_(storedSidebarThemeChoice(services.defaults)),
      isCompact_(store.isCompact()) {
    setObjectName(QStringLiteral("sidebarView"));
    setAccessibleName(tr("Sidebar"));
    // The panel decides the width, the rail's few dozen points included; what the view holds
    // makes do with it.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    themeModifier_ = new SidebarThemeModifier(themeChoice_, this, environment_);
    environment_->setCompact(isCompact_);

    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);

    buildHeader();

    status_ = new ElidedLabel(this);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setFont(sidebar::sizedFont(font(), 10));
    status_->setContentsMargins(12, 0, 12, 6);
    column_->addWidget(status_);
    // Off while the line stands: an effect renders its widget through a pixmap.
    statusOpacity_ = new QGraphicsOpacityEffect(status_);
    statusOpacity_->setEnabled(false);
    status_->setGraphicsEffect(statusOpacity_);
    statusFade_ = std::make_unique<ScheduledAnimation>(scheduler_, statusOpacity_, "opacity");
    column_->addWidget(new SidebarDivider(environment_, this));

    content_ = new QStackedWidget(this);
    loadingView_ = new LoadingView(environment_, content_);
    messageView_ = new SidebarMessageView(
        environment_, [this](SidebarMessage::Action action) { messageAction(action); }, content_);
    content_->addWidget(loadingView_);
    content_->addWidget(messageView_);
    buildList();
    column_->addWidget(content_, 1);

    buildFooter();

    seam_ = new SeamShading(SeamShading::Side::trailing, environment_->theme().seam, true, &defaults_, this);
    resizeHandle_ = new ResizeHandle(environment_,
                                     {[this] { if (callbacks_.onResizeBegan) callbacks_.onResizeBegan(); },
                                      [this](double change) { if (callbacks_.onResize) callbacks_.onResize(change); },
                                      [this] { if (callbacks_.onResizeEnded) callbacks_.onResizeEnded(); }},
                                     this);

    connect(environment_, &SidebarEnvironment::themeChanged, this, &SidebarView::applyTheme);
    connect(&defaults_, &UserDefaults::didChange, this, [this] {
        themeSettingChanged();
        updateCounts();
    });
    connect(&store_, &TabStore::isCompactChanged, this, &SidebarView::compactChanged);
    connect(&store_, &TabStore::isSearchActiveChanged, this, &SidebarView::updateHeader);
    connect(&store_, &TabStore::flagsVersionChanged, this, &SidebarView::updateHeader);
    connect(&store_, &TabStore::viewModeChanged, this, &SidebarView::updateHeader);
    connect(&store_, &TabStore::selectionChanged, this, &SidebarView::updateCounts);
    connect(&store_, &TabStore::lastActionSummaryChanged, this, &SidebarView::summaryChanged);
    connect(&store_, &TabStore::searchFocusTokenChanged, this, &SidebarView::focusSearchField);
    // Queued: the store names the new tab while it takes in a poll, before it publishes the windows.
    connect(&store_, &TabStore::newTabScrollTargetIDChanged, this,
            [this] { scrollToNewTab(store_.newTabScrollTargetID()); }, Qt::QueuedConnection);
    for (auto signal : {&TabStore::stateChanged, &TabStore::windowsChanged}) {
        connect(&store_, signal, this, &SidebarView::updateCounts);
        connect(&store_, signal, this, &SidebarView::updateFooter);
        connect(&store_, signal, this, &SidebarView::updateContent);
    }
    connect(&store_, &TabStore::searchQueryChanged, this, &SidebarView::updateContent);
    connect(&store_, &TabStore::viewModeChanged, this, &SidebarView::updateContent);
    connect(searchField_, &SidebarSearchField::fieldFocusChanged, this, &SidebarView::searchFocusChanged);

    updateHeader();
    updateCounts();
    updateStatus();
    updateFooter();
    updateContent();
    applyTheme();
}

SidebarView::~SidebarView() {
    // Children going away lose focus; the shell must not hear of that from a view half destroyed.
    disconnect(searchField_, nullptr, this, nullptr);
}

void SidebarView::buildHeader() {
    header_ = new QWidget(this);
    auto *headerColumn = new QVBoxLayout(header_);
    headerColumn->setContentsMargins(0, 0, 0, 0);
    headerColumn->setSpacing(0);

    auto *row = new QWidget(header_);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(12, 10, 12, 8);
    rowLayout->setSpacing(6);

    toolbar_ = new QWidget(row);
    toolbar_->setObjectName(QStringLiteral("headerToolbar"));
    auto *tools = new QHBoxLayout(toolbar_);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(6);
    // At the narrowest width the title gives way, so the count and the buttons stay whole.
    title_ = new ElidedLabel(toolbar_);
    title_->setObjectName(QStringLiteral("headerTitle"));
    title_->setFont(sidebar::sizedFont(font(), 13, QFont::DemiBold));
    title_->setText(tr("Safari"));
    tools->addWidget(title_);
    tools->addStretch(1);

    newGroup_ = new SidebarIconButton(SidebarHeaderModel::newTabGroupButton(), 11, environment_, toolbar_);
    connect(newGroup_, &QToolButton::clicked, this, [this] { requestGroupPrompt({}); });
    tools->addWidget(newGroup_);

    arrange_ = new SidebarIconButton({}, 11, environment_, toolbar_);
    arrangeMenu_ = new QMenu(arrange_);
    arrange_->setMenu(arrangeMenu_);
    arrange_->setPopupMode(QToolButton::InstantPopup);
    connect(arrangeMenu_, &QMenu::aboutToShow, this, &SidebarView::showArrangeMenu);
    tools->addWidget(arrange_);

    search_ = new SidebarIconButton(SidebarHeaderModel::searchButton(), 11, environment_, toolbar_);
    connect(search_, &QToolButton::clicked, this, [this] { store_.toggleSearch(); });
    tools->addWidget(search_);

    compactToggle_ = new SidebarIconButton(SidebarHeaderModel::compactToggle(false), 11, environment_, toolbar_);
    tools->addWidget(compactToggle_);

    count_ = new QLabel(toolbar_);
    count_->setObjectName(QStringLiteral("countLabel"));
    QFont countFont = sidebar::sizedFont(font(), 11, QFont::Medium);
    count_->setFont(countFont);
    count_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    tools->addWidget(count_);

    searchField_ = new SidebarSearchField(store_, environment_, row);
    rowLayout->addWidget(toolbar_, 1);
    rowLayout->addWidget(searchField_, 1);
    headerColumn->addWidget(row);

    compactHeader_ = new QWidget(header_);
    compactHeader_->setObjectName(QStringLiteral("compactHeader"));
    auto *rail = new QVBoxLayout(compactHeader_);
    rail->setContentsMargins(0, 10, 0, 8);
    rail->setSpacing(4);
    compactRailToggle_ = new SidebarIconButton(SidebarHeaderModel::compactToggle(true), 11, environment_, compactHeader_);
    rail->addWidget(compactRailToggle_, 0, Qt::AlignHCenter);
    compactCount_ = new QLabel(compactHeader_);
    compactCount_->setObjectName(QStringLiteral("compactCountLabel"));
    QFont railFont = sidebar::sizedFont(font(), 9, QFont::Medium);
    compactCount_->setFont(railFont);
    compactCount_->setAlignment(Qt::AlignHCenter);
    rail->addWidget(compactCount_, 0, Qt::AlignHCenter);
    headerColumn->addWidget(compactHeader_);

    for (auto *toggle : {compactToggle_, compactRailToggle_})
        connect(toggle, &QToolButton::clicked, this, [this] { store_.setCompact(!store_.isCompact()); });

    column_->addWidget(header_);
}

void SidebarView::buildList() {
    list_ = new SidebarTabList(store_, *environment_, content_);
    list_->setScheduler(&scheduler_);
    const auto requestNewGroup = [self = QPointer<SidebarView>(this)](std::vector<SafariTab> tabs) {
        if (self) self->requestGroupPrompt(std::move(tabs));
    };
    list_->setActions(SidebarRowActions::make(store_, requestNewGroup));
    list_->setSearchActions(SidebarRowActions::forSearch(store_, requestNewGroup));

    TabStore *store = &store_;
    SidebarTabList::Callbacks callbacks;
    callbacks.onToggleWindowCollapse = [store](const SafariWindow &window) { store->toggleWindowCollapsed(window.safariID); };
    callbacks.onMove = [store](const TabDropPlan &plan) {
        startDetached(store->moveTabs(plan), sidebarLogger(), QStringLiteral("Moving tabs"));
    };
    callbacks.onPin = [store](const SafariTab &tab) {
        startDetached(store->togglePinned(true, {tab}), sidebarLogger(), QStringLiteral("Pinning a tab"));
    };
    callbacks.onUnpin = [store](const SafariTab &tab) {
        startDetached(store->togglePinned(false, {tab}), sidebarLogger(), QStringLiteral("Unpinning a tab"));
    };
    // A refused group edit (the feature is off) changes nothing on screen, which says enough.
    callbacks.onToggleGroupCollapse = [store](const TabGroup &group) {
        store->commands().editGroups(group.id, TabCommands::setGroupCollapsed(!group.isCollapsed));
    };
    callbacks.onSetGroupColor = [store](const TabGroup &group, const QString &colorName) {
        store->commands().editGroups(group.id, TabCommands::setGroupColor(colorName));
    };
    callbacks.onRenameGroup = [this](const TabGroup &group) { requestRenamePrompt(group); };
    callbacks.onDeleteGroup = [store](const TabGroup &group) { store->deleteGroup(group); };
    callbacks.onMoveGroupUp = [store](const TabGroup &group) { store->moveGroup(group.id, -1); };
    callbacks.onMoveGroupDown = [store](const TabGroup &group) { store->moveGroup(group.id, 1); };
    list_->setCallbacks(std::move(callbacks));
    list_->viewport()->installEventFilter(this);
    content_->addWidget(list_);
}

bool SidebarView::eventFilter(QObject *watched, QEvent *event) {
    // The list takes every press; one beside its rows and headings is a press on the panel's
    // empty space.
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() == Qt::LeftButton && list_->entryAt(press->position().toPoint()) < 0)
            store_.clearSelection();
    }
    return false;
}

void SidebarView::buildFooter() {
    footer_ = new QWidget(this);
    footer_->setObjectName(QStringLiteral("footer"));
    auto *layout = new QVBoxLayout(footer_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new SidebarDivider(environment_, footer_));
    newTabRow_ = new NewTabRow(environment_, footer_);
    connect(newTabRow_, &QAbstractButton::clicked, this, &SidebarView::openNewTab);
    layout->addWidget(newTabRow_);
    column_->addWidget(footer_);
}

GroupPromptDialog *SidebarView::groupPromptDialog() const { return promptDialog_; }

QWidget *SidebarView::currentContent() const { return content_->currentWidget(); }

void SidebarView::themeSettingChanged() {
    const auto choice = storedSidebarThemeChoice(defaults_);
    if (choice == themeChoice_) return;
    themeChoice_ = choice;
    themeModifier_->setChoice(choice);
    if (callbacks_.onThemeChanged) callbacks_.onThemeChanged(choice);
}

void SidebarView::compactChanged() {
    const bool compact = store_.isCompact();
    if (compact == isCompact_) return;
    isCompact_ = compact;
    environment_->setCompact(compact);
    updateHeader();
    updateStatus();
    updateCounts();
    if (callbacks_.onCompactModeChanged) callbacks_.onCompactModeChanged(compact);
}

void SidebarView::updateHeader() {
    const bool searching = store_.isSearchActive();
    QWidget *const row = toolbar_->parentWidget();
    const std::pair<QWidget *, bool> parts[] = {
        {compactHeader_, isCompact_}, {row, !isCompact_}, {toolbar_, !searching}, {searchField_, searching}};
    for (const auto &[part, shown] : parts)
        if (shown) part->show();
    // Hiding the part that holds the keyboard would pass it on down the tab chain, and whatever
    // comes next would draw a focus frame as if the user had tabbed there.
    if (QWidget *focused = window()->focusWidget()) {
        if (QWidget *successor = headerSuccessor(focused, searching))
            successor->setFocus(showsKeyboardFocus(focused) ? Qt::TabFocusReason : Qt::OtherFocusReason);
    }
    for (const auto &[part, shown] : parts)
        if (!shown) part->hide();
    newGroup_->setVisible(store_.flags().isEnabled(FeatureFlag::tabGroups()));
    const auto mode = store_.viewMode();
    arrange_->setIcon({ArrangeMenu::symbol(mode), ArrangeMenu::help(mode), ArrangeMenu::accessibleName()});
    arrange_->setAccessibleDescription(ArrangeMenu::title(mode));
}

QWidget *SidebarView::headerSuccessor(QWidget *focused, bool searching) const {
    const auto holds = [focused](QWidget *part) { return part == focused || part->isAncestorOf(focused); };
    QWidget *const field = searchField_->lineEdit();
    if (isCompact_) return holds(toolbar_->parentWidget()) ? compactRailToggle_ : nullptr;
    if (holds(compactHeader_)) return searching ? field : compactToggle_;
    if (searching && holds(toolbar_)) return field;
    if (!searching && holds(searchField_)) return search_;
    return nullptr;
}

bool SidebarView::showsKeyboardFocus(QWidget *focused) {
    if (const auto *button = qobject_cast<SidebarIconButton *>(focused)) return button->showsFocusFrame();
    return qobject_cast<QLineEdit *>(focused) != nullptr;  // typing is the keyboard's
}

void SidebarView::updateCounts() {
    const bool ready = store_.state().kind == SidebarState::Kind::ready;
    const int visible = SidebarHeaderModel::visibleTabCount(store_.listedWindows());
    const auto count = SidebarHeaderModel::toolbarCount(int(store_.selection().ids.size()), ready, visible);
    count_->setText(count ? count->text : QString());
    count_->setVisible(count.has_value());
    const auto &theme = environment_->theme();
    if (count && count->tone == SidebarHeaderModel::Tone::accent) {
        // A few themes' accents are too pale for text on their own background; the count stays
        // in the accent's hue, only as much darker as reading it takes.
        setTextColor(count_, legibleOn(environment_->color(theme.accent), environment_->color(theme.fill()),
                                       kMutedTextContrast));
    } else if (count) {
        setTextColor(count_, environment_->color(theme.mutedForeground));
    }
    const auto rail = SidebarHeaderModel::compactCount(ready, visible);
    compactCount_->setText(rail.value_or(QString()));
    compactCount_->setVisible(rail.has_value());
}

void SidebarView::updateStatus() {
    statusFade_->stop();
    statusOpacity_->setOpacity(1);
    statusOpacity_->setEnabled(false);
    const auto line = SidebarHeaderModel::statusLine(isCompact_, store_.lastActionSummary());
    status_->setText(line.value_or(QString()));
    status_->setVisible(line.has_value());
}

double SidebarView::statusOpacity() const {
    if (status_->isHidden()) return 0;
    return statusOpacity_->isEnabled() ? statusOpacity_->opacity() : 1;
}

void SidebarView::summaryChanged() {
    const auto line = SidebarHeaderModel::statusLine(isCompact_, store_.lastActionSummary());
    const bool fadingOut = statusFade_->isRunning() && statusFade_->endValue().toDouble() == 0;
    if (line) {
        status_->setText(*line);
        if (!status_->isHidden() && !fadingOut) return;
        if (status_->isHidden()) {
            statusOpacity_->setOpacity(0);
            status_->show();
        }
    } else if (status_->isHidden() || fadingOut) {
        return;
    }
    // The old summary stays on the line while it fades away.
    statusOpacity_->setEnabled(true);
    const bool in = line.has_value();
    statusFade_->start(in ? 1.0 : 0.0, kStatusFadeDuration, QEasingCurve::OutCubic, [this, in] {
        statusOpacity_->setEnabled(false);
        statusOpacity_->setOpacity(1);
        if (!in) {
            status_->hide();
            status_->setText(QString());
        }
    });
}

void SidebarView::updateFooter() {
    const auto window = store_.state().kind == SidebarState::Kind::ready ? store_.newTabWindow() : std::nullopt;
    footer_->setVisible(window.has_value());
    if (!window) return;
    const auto windowCount = store_.windows().size();
    const QString label = SidebarHeaderModel::windowLabel(store_, *window);
    newTabRow_->setTarget(SidebarHeaderModel::newTabHelp(windowCount, label),
                          SidebarHeaderModel::newTabWindowLabel(windowCount, label));
}

void SidebarView::updateContent() {
    contentKind_ = sidebarContentKind(store_.state(), store_.searchQuery(), !store_.windows().empty(), store_.viewMode());
    if (contentKind_ == SidebarContentKind::loading) {
        content_->setCurrentWidget(loadingView_);
        return;
    }
    if (const auto message = SidebarMessage::forContent(contentKind_, store_.state())) {
        if (messageView_->message() != *message) messageView_->setMessage(*message);
        content_->setCurrentWidget(messageView_);
        return;
    }
    content_->setCurrentWidget(list_);
}

void SidebarView::messageAction(SidebarMessage::Action action) {
    switch (action) {
    case SidebarMessage::Action::none: break;
    case SidebarMessage::Action::openSystemSettings:
        privacy_.openSystemSettings(SidebarMessage::automationSettingsAddress());
        break;
    case SidebarMessage::Action::tryAgain:
        startDetached(store_.requestRefresh(), sidebarLogger(), QStringLiteral("Retrying"));
        break;
    }
}

void SidebarView::focusSearchField() {
    if (searchField_->isVisible()) searchField_->focusField();
}

void SidebarView::searchFocusChanged(bool focused) {
    if (focused == isSearchFieldFocused_) return;
    isSearchFieldFocused_ = focused;
    if (callbacks_.onSearchFocusChanged) callbacks_.onSearchFocusChanged(focused);
}

void SidebarView::showArrangeMenu() {
    arrangeMenu_->clear();
    const auto &theme = environment_->theme();
    for (const auto &item : ArrangeMenu::items(store_.viewMode())) {
        auto *action = arrangeMenu_->addAction(item.title);
        if (item.checked) action->setIcon(SymbolCatalog::icon(u"checkmark", theme.foreground.resolved(palette())));
        connect(action, &QAction::triggered, this, [this, mode = item.mode] { ArrangeMenu::choose(store_, mode); });
    }
}

void SidebarView::requestGroupPrompt(std::vector<SafariTab> tabs) {
    groupPromptText_.clear();
    presentGroupPrompt(GroupPrompt::create(std::move(tabs)));
}

void SidebarView::requestRenamePrompt(const TabGroup &group) {
    groupPromptText_ = group.name;
    presentGroupPrompt(GroupPrompt::rename(group));
}

void SidebarView::presentGroupPrompt(GroupPrompt prompt) {
    groupPrompt_ = std::move(prompt);
    if (promptDialog_) promptDialog_->deleteLater();
    auto *dialog = new GroupPromptDialog(
        *groupPrompt_, groupPromptText_, [this](const QString &text) { groupPromptText_ = text; },
        [this](const GroupPrompt &confirmed) { commitGroupPrompt(confirmed); }, this);
    promptDialog_ = dialog;
    // Any way the dialog goes, the prompt is closed; the typed name stays until the next request.
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        if (promptDialog_ == dialog) groupPrompt_.reset();
        dialog->deleteLater();
    });
    dialog->open();
}

void SidebarView::commitGroupPrompt(const GroupPrompt &prompt) {
    if (const auto *create = std::get_if<GroupPrompt::Create>(&prompt.kind))
        store_.createGroup(groupPromptText_, create->tabs);
    else if (const auto *rename = std::get_if<GroupPrompt::Rename>(&prompt.kind))
        store_.renameGroup(rename->group.id, groupPromptText_);
    groupPrompt_.reset();
    groupPromptText_.clear();
}

void SidebarView::scrollToNewTab(const std::optional<QString> &targetID) {
    if (!targetID || targetID == scrolledToNewTabID_) return;
    scrolledToNewTabID_ = targetID;
    const QString target = *targetID;
    scrollListTo(target);
    store_.clearNewTabScrollTarget(target);
    // Once more when the list has settled; a later new tab takes the place of this look.
    newTabRescroll_ = scheduler_.after(Seconds(0.22), [this, target] {
        if (scrolledToNewTabID_ == target) scrollListTo(target);
    });
}

void SidebarView::scrollListTo(const QString &tabID) {
    // The list takes in the poll at its next turn; the scroll cannot wait for it.
    list_->rebuild();
    list_->scrollToTab(tabID, SidebarTabList::PositionAtCenter, kNewTabScrollDuration);
}

void SidebarView::openNewTab() {
    startDetached(TabActivation::openNewTab(store_), sidebarLogger(), QStringLiteral("Opening a new tab"));
}

void SidebarView::applyTheme() {
    const auto &theme = environment_->theme();
    setTextColor(title_, environment_->color(theme.foreground));
    setTextColor(compactCount_, environment_->color(theme.mutedForeground));
    setTextColor(status_, environment_->color(theme.mutedForeground));
    seam_->setColor(theme.seam);
    updateCounts();
    update();
}

void SidebarView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), environment_->theme().fill().resolved(palette()));
}

void SidebarView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutOverlays();
}

void SidebarView::layoutOverlays() {
    seam_->setGeometry(rect());
    const bool leftToRight = layoutDirection() == Qt::LeftToRight;
    resizeHandle_->setGeometry(leftToRight ? 0 : width() - ResizeHandle::kWidth, 0, ResizeHandle::kWidth, height());
    seam_->raise();
    resizeHandle_->raise();
}

void SidebarView::mousePressEvent(QMouseEvent *event) {
    // A click that no control took lands on the panel itself: it clears the selection.
    if (event->button() == Qt::LeftButton) store_.clearSelection();
    event->accept();
}

}  // namespace ondrake
