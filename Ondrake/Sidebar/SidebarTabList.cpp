#include "Ondrake/Sidebar/SidebarTabList.h"

#include "Ondrake/Sidebar/MiddleClickCatcher.h"
#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarMetrics.h"
#include "Ondrake/Sidebar/SymbolCatalog.h"

#include "Browser/BrowserURL.h"
#include "Ondrake/Model/FaviconHost.h"
#include "Store/TabStore.h"

#include "PlainText.h"
#include "ScheduledAnimation.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

namespace ondrake {

SidebarTabList::SidebarTabList(TabStore &store, SidebarEnvironment &environment, QWidget *parent)
    : QListView(parent), store_(store), environment_(&environment), clock_([] { return QDateTime::currentDateTimeUtc(); }) {
    setObjectName(QStringLiteral("SidebarTabList"));
    setAccessibleName(QStringLiteral("Tabs"));
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setUniformItemSizes(false);
    setSpacing(0);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(int(sidebar::kRowPitch));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    delegate_ = new SidebarRowDelegate([this]() -> const SidebarRowDelegate::Style & { return style_; },
                                       [this](int row) {
                                           SidebarRowDelegate::State state = changeState(row);
                                           const auto &entry = model_.entry(row);
                                           if (entry.row) {
                                               const QString &id = entry.row->tab().id;
                                               state.hovered = hoveredTab_ == id;
                                               state.skipRow = drag_ && drag_->tabID == id;
                                           }
                                           return state;
                                       },
                                       this);
    setItemDelegate(delegate_);
    setModel(&model_);
    connect(&model_, &SidebarRowModel::geometryChanged, this, [this] { scheduleDelayedItemsLayout(); });
    // The rows a keyed rebuild adds or takes away are what its animation shows; any other change
    // of rows ends a running one, whose rows would no longer be where it thinks.
    connect(&model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &, int first, int last) {
        if (!collectsChange_ || changeAnimation_->isRunning()) settleChange();
        if (!collectsChange_) return;
        Change &c = change_ ? *change_ : change_.emplace();
        c.oldShiftedTop = model_.top(last + 1);
        c.insertedFirst = c.insertedEnd = c.shiftedFirst = first;
    });
    connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex &, int first, int) {
        if (!collectsChange_) return;
        if (changeAnimation_->isRunning()) settleChange();
        Change &c = change_ ? *change_ : change_.emplace();
        if (!c.oldShiftedTop) c.oldShiftedTop = model_.top(first);
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        if (!collectsChange_) return settleChange();
        Change &c = *change_;
        c.insertedFirst = first;
        c.insertedEnd = c.shiftedFirst = last + 1;
    });

    middleClick_ = new MiddleClickFilter(
        viewport(),
        [this](QPoint point) { return tabAt(point); },
        [this](const QString &tabID) {
            const int row = model_.rowOfTab(tabID);
            if (row < 0) return;
            // The action may rebuild the list or replace the actions: it runs from copies.
            const auto close = rowActions().close;
            close(SafariTab(model_.entry(row).row->tab()));
        });

    for (const auto signal : {&TabStore::windowsChanged, &TabStore::recordsChanged, &TabStore::groupsChanged,
                              &TabStore::ondrakeIDsChanged, &TabStore::selectionChanged, &TabStore::collapsedTabIDsChanged,
                              &TabStore::collapsedWindowIDsChanged, &TabStore::faviconsChanged, &TabStore::viewModeChanged,
                              &TabStore::searchQueryChanged, &TabStore::searchSelectedIndexChanged,
                              &TabStore::settingsChanged, &TabStore::flagsVersionChanged,
                              &TabStore::presentationRevisionChanged})
        connect(&store_, signal, this, &SidebarTabList::scheduleRebuild);
    connect(&store_, &TabStore::searchSelectedIndexChanged, this, [this] { followsHighlight_ = true; });
    for (const auto signal : {&TabStore::windowsChanged, &TabStore::collapsedTabIDsChanged,
                              &TabStore::collapsedWindowIDsChanged, &TabStore::groupsChanged})
        connect(&store_, signal, this, [this] { changeKeyed_ = true; });
    connect(environment_, &SidebarEnvironment::compactChanged, this, &SidebarTabList::rebuild);
    connect(environment_, &SidebarEnvironment::themeChanged, this, [this] {
        applyStyle();
        viewport()->update();
    });
    applyStyle();
    rebuild();
}

SidebarTabList::~SidebarTabList() = default;

void SidebarTabList::setScheduler(Scheduler *scheduler) {
    settleChange();
    scroll_.reset();
    changeAnimation_.reset();
    scheduler_ = scheduler;
    if (!scheduler_) return;
    scroll_ = std::make_unique<ScheduledAnimation>(*scheduler_, verticalScrollBar(), "value");
    changeAnimation_ = std::make_unique<ScheduledAnimation>(*scheduler_, this, "changeProgress");
}

void SidebarTabList::setActions(TabRowActions actions) { actions_ = std::move(actions); }
void SidebarTabList::setSearchActions(TabRowActions actions) { searchActions_ = std::move(actions); }
void SidebarTabList::setCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }
void SidebarTabList::setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

void SidebarTabList::scheduleRebuild() {
    if (rebuildQueued_) return;
    rebuildQueued_ = true;
    QMetaObject::invokeMethod(this, [this] {
        if (rebuildQueued_) rebuild();
    }, Qt::QueuedConnection);
}

void SidebarTabList::rebuild() {
    rebuildQueued_ = false;
    const bool compact = environment_ && environment_->isCompact();
    // Only the windows and the folds animate, and only within one arrangement: a new arrangement
    // or a search is a new list, and a drag keeps its rows where the pointer left them.
    const auto form = model_.content().form;
    collectsChange_ = std::exchange(changeKeyed_, false) && changeAnimation_ && !drag_;
    auto input = SidebarListContent::Input::of(store_, clock_(), compact);
    // Tabs closed long ago are forgotten now and then rather than tracked one by one.
    if (faviconHosts_.size() > 2 * std::size_t(std::max<qsizetype>(1024, store_.ondrakeIDs().size()))) faviconHosts_.clear();
    input.faviconHostOf = [this](const SafariTab &tab) {
        auto known = faviconHosts_.find(tab.id);
        if (known == faviconHosts_.end() || !sameURL(known->second.url, tab.url))
            known = faviconHosts_.insert_or_assign(tab.id, FaviconHost{tab.url, faviconHost(tab.url)}).first;
        return known->second.host;
    };
    model_.apply(SidebarListContent::build(input));
    if (std::exchange(collectsChange_, false) && change_
        && (model_.content().form != form || form == SidebarListContent::Form::search))
        change_.reset();
    if (change_ && !changeAnimation_->isRunning()) {
        Change &c = *change_;
        // Measured, not summed: headings that stay may change height in the same rebuild.
        if (c.oldShiftedTop && c.shiftedFirst < model_.rowCount())
            c.shift = std::max(0, *c.oldShiftedTop - model_.top(c.shiftedFirst));
        if (c.insertedEnd == c.insertedFirst && c.shift == 0) {
            change_.reset();
        } else {
            changeProgress_ = 0;
            changeAnimation_->start(1.0, kChangeDuration, QEasingCurve::OutCubic, [this] { settleChange(); });
            viewport()->update();
        }
    }
    const SidebarListContent &content = model_.content();
    const int horizontal = content.horizontalPadding();
    const int vertical = content.padsOutsideContent() ? SidebarListContent::kVerticalPadding : 0;
    if (viewportMargins() != QMargins(horizontal, vertical, horizontal, vertical))
        setViewportMargins(horizontal, vertical, horizontal, vertical);
    if (style_.compact != compact) {
        style_.compact = compact;
        viewport()->update();
    }
    if (std::exchange(followsHighlight_, false) && content.form == SidebarListContent::Form::search) {
        // A highlight outside the results marks no row, and nothing scrolls.
        for (int row = 0; row < model_.rowCount(); ++row) {
            const auto &entry = model_.entry(row);
            if (entry.row && entry.row->isSelected) {
                scrollToTab(entry.row->tab().id, PositionAtCenter, kHighlightScrollDuration);
                break;
            }
        }
    }
    // Rows may have moved under a pointer that stood still: what it hovers is the row under it now.
    if (!drag_ && viewport()->underMouse()) setHoveredTab(tabAt(viewport()->mapFromGlobal(QCursor::pos())));
    else if (hoveredTab_ && model_.rowOfTab(*hoveredTab_) < 0) hoveredTab_.reset();
    // A drag whose row went away ends without an outcome.
    if (drag_ && model_.rowOfTab(drag_->tabID) < 0) {
        drag_.reset();
        press_.reset();
        viewport()->update();
    }
}

void SidebarTabList::applyStyle() {
    style_.theme = environment_ ? environment_->theme() : SidebarThemeTokens::light();
    style_.palette = palette();
    style_.font = font();
    style_.compact = environment_ && environment_->isCompact();
}

void SidebarTabList::changeEvent(QEvent *event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        applyStyle();
        viewport()->update();
    }
}

// MARK: Geometry

QPointF SidebarTabList::toContent(QPointF viewportPoint) const {
    return viewportPoint + QPointF(horizontalOffset(), verticalOffset());
}

QPointF SidebarTabList::toViewport(QPointF contentPoint) const {
    return contentPoint - QPointF(horizontalOffset(), verticalOffset());
}

SidebarListGeometry SidebarTabList::geometry() const { return SidebarListGeometry(model_, viewport()->width(), style_); }

std::optional<QPointF> SidebarTabList::contentPointAt(QPoint viewportPoint) const {
    if (!viewport()->rect().contains(viewportPoint)) return std::nullopt;
    return toContent(viewportPoint);
}

int SidebarTabList::entryAt(QPoint viewportPoint) const {
    const auto point = contentPointAt(viewportPoint);
    return point ? geometry().entryAt(*point) : -1;
}

std::optional<QString> SidebarTabList::tabAt(QPoint viewportPoint) const {
    const auto point = contentPointAt(viewportPoint);
    return point ? geometry().tabAt(*point) : std::nullopt;
}

const TabRowActions &SidebarTabList::rowActions() const {
    if (model_.content().form == SidebarListContent::Form::search && searchActions_) return *searchActions_;
    return actions_;
}

int SidebarTabList::rowOfKey(SidebarListEntry::Kind kind, const QString &key) const {
    if (kind == SidebarListEntry::Kind::tab) return model_.rowOfTab(key);
    for (int row = 0; row < model_.rowCount(); ++row)
        if (model_.entry(row).kind == kind && model_.entry(row).key == key) return row;
    return -1;
}

std::optional<QString> SidebarTabList::hoveredTab() const { return hoveredTab_; }

void SidebarTabList::setHoveredTab(const std::optional<QString> &tabID) {
    if (hoveredTab_ == tabID) return;
    for (const auto &id : {hoveredTab_, tabID}) {
        if (!id) continue;
        const int row = model_.rowOfTab(*id);
        if (row >= 0) viewport()->update(visualRect(model_.index(row)));
    }
    hoveredTab_ = tabID;
}

bool SidebarTabList::scrollToTab(const QString &tabID, ScrollHint hint, Seconds duration) {
    const int row = model_.rowOfTab(tabID);
    if (row < 0) return false;
    executeDelayedItemsLayout();
    if (scroll_) scroll_->stop();
    // The view's own arithmetic finds the end; the animation then starts from where it stood.
    QScrollBar *bar = verticalScrollBar();
    const int from = bar->value();
    scrollTo(model_.index(row), hint);
    const int to = bar->value();
    if (!scroll_ || duration <= Seconds(0) || to == from) return true;
    bar->setValue(from);
    scroll_->start(to, duration, QEasingCurve::OutCubic, nullptr);
    return true;
}

bool SidebarTabList::isScrolling() const { return scroll_ && scroll_->isRunning(); }

void SidebarTabList::setChangeProgress(double progress) {
    if (changeProgress_ == progress) return;
    changeProgress_ = progress;
    if (change_) viewport()->update();
}

bool SidebarTabList::isChanging() const { return change_.has_value() && !collectsChange_; }

void SidebarTabList::settleChange() {
    if (changeAnimation_) changeAnimation_->stop();
    changeProgress_ = 1;
    if (std::exchange(change_, std::nullopt)) viewport()->update();
}

SidebarRowDelegate::State SidebarTabList::changeState(int row) const {
    SidebarRowDelegate::State state;
    if (!change_ || collectsChange_) return state;
    const Change &c = *change_;
    if (row >= c.insertedFirst && row < c.insertedEnd) state.opacity = changeProgress_;
    else if (row >= c.shiftedFirst) state.offset = c.shift * (1 - changeProgress_);
    return state;
}

// MARK: Mouse

void SidebarTabList::focusInEvent(QFocusEvent *event) {
    QListView::focusInEvent(event);
    showsFocus_ = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
}

void SidebarTabList::mousePressEvent(QMouseEvent *event) {
    if (std::exchange(showsFocus_, false)) viewport()->update();
    press_.reset();
    const QPointF point = toContent(event->position());
    const auto hit = contentPointAt(event->position().toPoint()) ? geometry().hitAt(point) : std::nullopt;
    // Space between the bands belongs to whatever lies behind the list.
    if (!hit) {
        event->ignore();
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    const SidebarListEntry &entry = model_.entry(hit->entry);
    press_ = Press{entry.kind, entry.key, hit->part, point};
    event->accept();
}

void SidebarTabList::mouseDoubleClickEvent(QMouseEvent *event) {
    // A quick second click is a click of its own, as the rows count clicks one by one.
    mousePressEvent(event);
}

void SidebarTabList::mouseMoveEvent(QMouseEvent *event) {
    const QPointF point = toContent(event->position());
    if (!(event->buttons() & Qt::LeftButton)) {
        setHoveredTab(tabAt(event->position().toPoint()));
        return;
    }
    if (!press_) return;
    if (!drag_) {
        drag_ = SidebarListDrag::begin(model_, rowOfKey(press_->kind, press_->entryKey), press_->start, point);
        if (!drag_) return;
        settleChange();
    }
    drag_->moveTo(point, model_.content(), store_.windows());
    viewport()->update();
}

void SidebarTabList::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPointF point = toContent(event->position());
    if (drag_) {
        finishDrag(point);
        press_.reset();
        return;
    }
    const auto press = std::exchange(press_, std::nullopt);
    if (!press) return;
    const int row = entryAt(event->position().toPoint());
    if (row < 0 || model_.entry(row).kind != press->kind || model_.entry(row).key != press->entryKey) return;
    activate(row, press->part, event->modifiers());
}

void SidebarTabList::wheelEvent(QWheelEvent *event) {
    // The user's own scroll wins over one the list is still easing through.
    if (scroll_) scroll_->stop();
    QListView::wheelEvent(event);
}

void SidebarTabList::leaveEvent(QEvent *event) {
    QListView::leaveEvent(event);
    setHoveredTab(std::nullopt);
}

void SidebarTabList::activate(int row, Part part, Qt::KeyboardModifiers modifiers) {
    const SidebarListEntry &entry = model_.entry(row);
    // Every call below runs on copies: a host may rebuild the list or hand it new actions from
    // inside the call, which would pull the closure or its argument from under it.
    if (entry.row) {
        const SafariTab tab = entry.row->tab();
        const TabRowActions &actions = rowActions();
        const auto run = [&tab](const TabRowActions::TabAction action) { action(tab); };  // by value
        switch (part) {
        case Part::close: return run(actions.close);
        case Part::chevron: return run(actions.toggleSubtree);
        case Part::row:
        case Part::heading: {
            const auto click = actions.click;
            return click(tab, SidebarModifiers::fromQt(modifiers));
        }
        }
        return;
    }
    if (entry.kind != SidebarListEntry::Kind::heading) return;
    const SidebarListSection *section = model_.sectionOf(row);
    if (!section) return;
    if (section->window) {
        const auto toggle = callbacks_.onToggleWindowCollapse;
        toggle(SafariWindow(section->window->window));
    } else if (section->group) {
        const auto toggle = callbacks_.onToggleGroupCollapse;
        toggle(TabGroup(section->group->group()));
    }
}

// MARK: Drags

void SidebarTabList::finishDrag(QPointF contentPoint) {
    const SidebarListDrag drag = *std::exchange(drag_, std::nullopt);
    viewport()->update();
    const TabDragOutcome outcome = drag.drop(contentPoint, model_.content(), geometry().groupFrames());
    // Copies, as in activate().
    const Callbacks callbacks = callbacks_;
    const auto assignGroup = actions_.assignGroup;
    switch (outcome.kind) {
    case TabDragOutcome::Kind::none: break;
    case TabDragOutcome::Kind::move: callbacks.onMove(*outcome.plan); break;
    case TabDragOutcome::Kind::pin: callbacks.onPin(drag.tab); break;
    case TabDragOutcome::Kind::unpin: callbacks.onUnpin(drag.tab); break;
    case TabDragOutcome::Kind::assignGroup: assignGroup(drag.tab, outcome.group); break;
    }
}

// MARK: Menus, keys and help

std::optional<SidebarMenu> SidebarTabList::contextMenuAt(QPoint viewportPoint) const {
    const int row = entryAt(viewportPoint);
    if (row < 0) return std::nullopt;
    const SidebarListEntry &entry = model_.entry(row);
    if (entry.row) return entry.row->contextMenu(model_.content().groups, rowActions());
    const SidebarListSection *section = model_.sectionOf(row);
    if (entry.kind != SidebarListEntry::Kind::heading || !section || !section->group) return std::nullopt;
    const TabGroup group = section->group->group();
    const Callbacks &c = callbacks_;
    GroupedTabsView::Callbacks callbacks{
        .onToggleCollapse = [f = c.onToggleGroupCollapse, group] { f(group); },
        .onRename = [f = c.onRenameGroup, group] { f(group); },
        .onSetColor = [f = c.onSetGroupColor, group](const QString &name) { f(group, name); },
        .onDelete = [f = c.onDeleteGroup, group] { f(group); },
        .onMoveUp = [f = c.onMoveGroupUp, group] { f(group); },
        .onMoveDown = [f = c.onMoveGroupDown, group] { f(group); },
    };
    return section->group->headerMenu(callbacks);
}

void SidebarTabList::showMenu(const SidebarMenu &menu, QPoint globalPos) {
    QMenu qmenu(this);
    menu.populate(qmenu);
    qmenu.exec(globalPos);
}

void SidebarTabList::contextMenuEvent(QContextMenuEvent *event) {
    QPoint point = event->pos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        if (!currentIndex().isValid()) return;
        point = toViewport(geometry().band(currentIndex().row()).center()).toPoint();
    }
    if (auto menu = contextMenuAt(point)) showMenu(*menu, viewport()->mapToGlobal(point));
}

void SidebarTabList::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (currentIndex().isValid()) {
            activate(currentIndex().row(), Part::row, Qt::NoModifier);
            return;
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        // The parent's chevron from the keyboard: left folds its nested tabs away, right shows them.
        if (currentIndex().isValid()) {
            const auto &row = model_.entry(currentIndex().row()).row;
            if (row && row->row.hasChildren && row->row.isCollapsed == (event->key() == Qt::Key_Right)) {
                activate(currentIndex().row(), Part::chevron, Qt::NoModifier);
                return;
            }
        }
        break;
    default: break;
    }
    showsFocus_ = true;
    if (scroll_) scroll_->stop();
    QListView::keyPressEvent(event);
    viewport()->update();
}

bool SidebarTabList::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const auto point = contentPointAt(help->pos());
        const QString text = point ? geometry().helpAt(*point) : QString();
        if (text.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), plainToolTip(text), viewport());
        return true;
    }
    return QListView::viewportEvent(event);
}

// MARK: Painting

void SidebarTabList::paintEvent(QPaintEvent *event) {
    QListView::paintEvent(event);
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    if (showsFocus_ && hasFocus() && currentIndex().isValid()) {
        const QRect rect = visualRect(currentIndex());
        const SidebarListEntry &entry = model_.entry(currentIndex().row());
        const QRectF band(rect.left() + 0.5, rect.top() + entry.contentTop() + 0.5, rect.width() - 1, entry.content - 1);
        painter.setPen(QPen(SidebarRowDelegate::color(style_.theme.accent, style_), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(band, TabRow::kCornerRadius, TabRow::kCornerRadius);
    }
    if (drag_) paintDragOverlay(painter);
}

void SidebarTabList::paintDragOverlay(QPainter &painter) {
    const SidebarListDrag::Overlay overlay = drag_->overlay(geometry());
    painter.save();
    painter.translate(toViewport(QPointF(0, 0)));
    // The lifted row first: the drop indicator and the pin hint lie over it.
    if (const int row = model_.rowOfTab(drag_->tabID); row >= 0 && overlay.liftedRow)
        paintLiftedRow(painter, row, *overlay.liftedRow, overlay.liftedOpacity);
    const QColor accent = SidebarRowDelegate::color(style_.theme.accent, style_);
    if (overlay.pinHint) paintPinHint(painter, *overlay.pinHint);
    if (overlay.indicator) {
        QPainterPath path;
        path.addRoundedRect(*overlay.indicator, 1, 1);
        painter.fillPath(path, accent);
    }
    painter.restore();
}

void SidebarTabList::paintPinHint(QPainter &painter, QPointF origin) {
    // The symbol and the text side by side from the hint's top-leading corner.
    const QColor accent = SidebarRowDelegate::color(style_.theme.accent, style_);
    const QFont font = SidebarRowDelegate::font(style_, 10, QFont::Medium);
    const QString text = style_.compact ? QString() : QStringLiteral("Pin in Sidebar");
    constexpr double symbolSide = 9;
    constexpr double spacing = 4;
    const QFontMetricsF metrics(font);
    const double height = text.isEmpty() ? symbolSide : std::max(symbolSide, metrics.height());
    const double midY = origin.y() + height / 2;
    SymbolCatalog::paint(painter, u"pin.fill", QRectF(origin.x(), midY - symbolSide / 2, symbolSide, symbolSide), accent);
    if (text.isEmpty()) return;
    painter.setFont(font);
    painter.setPen(accent);
    painter.drawText(QRectF(origin.x() + symbolSide + spacing, origin.y(), metrics.horizontalAdvance(text) + 1, height),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
}

void SidebarTabList::paintLiftedRow(QPainter &painter, int row, const QRectF &band, double opacity) {
    const SidebarListEntry &entry = model_.entry(row);
    painter.save();
    painter.setOpacity(opacity);
    const TabRowGeometry g = entry.row->geometry(band, style_.compact, false, 0);
    const QColor shadow = SidebarRowDelegate::color(ThemeColor::black(), style_, 0.25);
    // A soft shadow under the lifted row: a few widening layers that fade out.
    for (int layer = 3; layer >= 1; --layer) {
        QColor c = shadow;
        c.setAlphaF(shadow.alphaF() / 3);
        QPainterPath path;
        path.addRoundedRect(g.background.translated(0, 2).adjusted(-layer * 2, -layer * 2, layer * 2, layer * 2),
                            TabRow::kCornerRadius + layer * 2, TabRow::kCornerRadius + layer * 2);
        painter.fillPath(path, c);
    }
    // The lifted row keeps a fill of its own so the rows beneath do not show through its text.
    QPainterPath body;
    body.addRoundedRect(g.background, TabRow::kCornerRadius, TabRow::kCornerRadius);
    painter.fillPath(body, SidebarRowDelegate::color(style_.theme.fill(), style_));
    SidebarRowDelegate::paintRow(painter, *entry.row, band, style_, false);
    painter.restore();
}

}  // namespace ondrake
