#pragma once

#include "Ondrake/Sidebar/SidebarListContent.h"
#include "Ondrake/Sidebar/SidebarRowDelegate.h"
#include "Ondrake/Sidebar/SidebarRowModel.h"
#include "Ondrake/Sidebar/TabRowActions.h"

#include <QListView>
#include <QPointer>

#include <functional>
#include <optional>

namespace ondrake {

class MiddleClickFilter;
class SidebarEnvironment;
class TabStore;

// The sidebar's tab list: one view over one flat model of every section's heading and rows,
// painted by a delegate, so only the rows on screen cost anything. It follows the store on its
// own, shows the tree, the other arrangements or the search results, runs the drags of rows
// and opens the context menus; every effect leaves through the row actions or the callbacks.
// Positions of drags and group frames are in the list's content coordinates.
class SidebarTabList : public QListView {
    Q_OBJECT
public:
    static constexpr double kDragThreshold = 5;

    // What the sections ask of their host; all default to doing nothing.
    struct Callbacks {
        std::function<void(const SafariWindow &)> onToggleWindowCollapse = [](const SafariWindow &) {};
        std::function<void(const TabDropPlan &)> onMove = [](const TabDropPlan &) {};
        std::function<void(const SafariTab &)> onPin = [](const SafariTab &) {};
        std::function<void(const SafariTab &)> onUnpin = [](const SafariTab &) {};
        std::function<void(const TabGroup &)> onToggleGroupCollapse = [](const TabGroup &) {};
        std::function<void(const TabGroup &)> onRenameGroup = [](const TabGroup &) {};
        std::function<void(const TabGroup &, const QString &)> onSetGroupColor = [](const TabGroup &, const QString &) {};
        std::function<void(const TabGroup &)> onDeleteGroup = [](const TabGroup &) {};
        std::function<void(const TabGroup &)> onMoveGroupUp = [](const TabGroup &) {};
        std::function<void(const TabGroup &)> onMoveGroupDown = [](const TabGroup &) {};
    };

    // The store and the environment must outlive the list.
    SidebarTabList(TabStore &store, SidebarEnvironment &environment, QWidget *parent = nullptr);
    ~SidebarTabList() override;

    void setActions(TabRowActions actions);
    // The rows of the search results; the ordinary actions when never set.
    void setSearchActions(TabRowActions actions);
    void setCallbacks(Callbacks callbacks);
    // The time snooze dates are judged against; the wall clock by default.
    void setClock(std::function<QDateTime()> clock);

    // Rebuilds from the store at once; store changes otherwise rebuild once per turn of the
    // event loop.
    void rebuild();
    SidebarRowModel &rowModel() { return model_; }
    const SidebarRowModel &rowModel() const { return model_; }

    // Scrolls the tab's row into the middle; false when the tab has no row.
    bool scrollToTab(const QString &tabID, ScrollHint hint = PositionAtCenter);

    // Between the list's content and its viewport.
    QPointF toContent(QPointF viewportPoint) const;
    QPointF toViewport(QPointF contentPoint) const;
    // The entry's rect in content coordinates.
    QRect entryRect(int row) const;
    GroupFrames groupFrames() const;
    // The context menu of what lies at a viewport point: a tab row's or a group header's.
    std::optional<SidebarMenu> contextMenuAt(QPoint viewportPoint) const;
    std::optional<QString> hoveredTab() const;

    struct Drag {
        QString tabID;
        SafariTab tab;
        QString sectionKey;
        QPointF start;  // content coordinates
        QSizeF translation;
        std::optional<SafariWindowView::Dragging> window;
        std::optional<PinnedTabsView::Dragging> pinned;
    };
    const std::optional<Drag> &drag() const { return drag_; }
    // The colours, font and form the rows are painted with.
    const SidebarRowDelegate::Style &paintStyle() const { return style_; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    enum class Part { row, chevron, close, heading };
    struct Press {
        SidebarListEntry::Kind kind = SidebarListEntry::Kind::tab;
        QString entryKey;
        Part part = Part::row;
        QPointF start;  // content coordinates
    };

    void scheduleRebuild();
    void applyStyle();
    void setHoveredTab(const std::optional<QString> &tabID);
    int entryAt(QPoint viewportPoint) const;
    std::optional<QString> tabAt(QPoint viewportPoint) const;
    Part partAt(int row, QPointF contentPoint) const;
    TabRowGeometry rowGeometry(int row, bool hovered) const;
    const TabRowActions &rowActions() const;
    const SidebarListSection *sectionByKey(const QString &key) const;
    int rowOfKey(SidebarListEntry::Kind kind, const QString &key) const;
    void activate(int row, Part part, Qt::KeyboardModifiers modifiers);
    void updateDrag(QPointF contentPoint);
    void finishDrag(QPointF contentPoint);
    void paintDragOverlay(QPainter &painter);
    void paintLiftedRow(QPainter &painter, int row);
    void showMenu(const SidebarMenu &menu, QPoint globalPos);
    std::optional<SafariTab> tabNamed(const QString &tabID) const;

    TabStore &store_;
    QPointer<SidebarEnvironment> environment_;
    SidebarRowModel model_;
    SidebarRowDelegate *delegate_ = nullptr;
    SidebarRowDelegate::Style style_;
    MiddleClickFilter *middleClick_ = nullptr;
    TabRowActions actions_;
    std::optional<TabRowActions> searchActions_;
    Callbacks callbacks_;
    std::function<QDateTime()> clock_;
    bool rebuildQueued_ = false;
    bool followsHighlight_ = false;  // the search highlight moved; bring it into view
    bool showsFocus_ = false;  // the keyboard, not the pointer, is moving through the rows
    std::optional<QString> hoveredTab_;
    std::optional<Press> press_;
    std::optional<Drag> drag_;
    // Favicon hosts by tab, kept while the tab's address stays: working one out costs far more
    // than comparing addresses, and a search rebuilds thousands of rows per keystroke.
    struct FaviconHost {
        std::optional<QUrl> url;
        std::optional<QString> host;
    };
    QHash<QString, FaviconHost> faviconHosts_;
};

}  // namespace ondrake
