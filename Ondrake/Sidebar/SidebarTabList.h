#pragma once

#include "Ondrake/Sidebar/SidebarListContent.h"
#include "Ondrake/Sidebar/SidebarListDrag.h"
#include "Ondrake/Sidebar/SidebarListGeometry.h"
#include "Ondrake/Sidebar/SidebarRowDelegate.h"
#include "Ondrake/Sidebar/SidebarRowModel.h"
#include "Ondrake/Sidebar/TabRowActions.h"

#include "Scheduler.h"

#include <QListView>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace ondrake {

class MiddleClickFilter;
class ScheduledAnimation;
class SidebarEnvironment;
class TabStore;

// The sidebar's tab list: one view over one flat model of every section's heading and rows,
// painted by a delegate, so only the rows on screen cost anything. It follows the store on its
// own and shows the tree, the other arrangements or the search results. It draws and forwards
// input: where the pointer is and what a drag does are decided by SidebarListGeometry and
// SidebarListDrag, and every effect leaves through the row actions or the callbacks.
class SidebarTabList : public QListView {
    Q_OBJECT
    Q_PROPERTY(double changeProgress READ changeProgress WRITE setChangeProgress)
public:
    // How long rows take to settle after the windows change or a section folds.
    static constexpr Seconds kChangeDuration{0.15};
    static constexpr Seconds kHighlightScrollDuration{0.1};

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

    // The clock the list's animations run on; without one, scrolls and changes show at once.
    // The scheduler must outlive the list.
    void setScheduler(Scheduler *scheduler);

    // Scrolls the tab's row into the middle, easing there over `duration` when the list has a
    // clock; false when the tab has no row.
    bool scrollToTab(const QString &tabID, ScrollHint hint = PositionAtCenter, Seconds duration = Seconds(0));
    bool isScrolling() const;

    // How far the rows of the last change have settled: from 0 as it begins to 1 when done.
    double changeProgress() const { return changeProgress_; }
    void setChangeProgress(double progress);
    bool isChanging() const;

    // The entry whose own band holds a viewport point: its row or heading, without the spacing
    // and padding around it, which are the sidebar's empty space. -1 there.
    int entryAt(QPoint viewportPoint) const;
    // Where the entries, their parts and the group frames lie, in the list's content coordinates.
    SidebarListGeometry geometry() const;
    // The context menu of what lies at a viewport point: a tab row's or a group header's.
    std::optional<SidebarMenu> contextMenuAt(QPoint viewportPoint) const;
    std::optional<QString> hoveredTab() const;

    const std::optional<SidebarListDrag> &drag() const { return drag_; }
    // The colours, font and form the rows are painted with.
    const SidebarRowDelegate::Style &paintStyle() const { return style_; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    using Part = SidebarListGeometry::Part;
    struct Press {
        SidebarListEntry::Kind kind = SidebarListEntry::Kind::tab;
        QString entryKey;
        Part part = Part::row;
        QPointF start;  // content coordinates
    };

    void scheduleRebuild();
    void applyStyle();
    void setHoveredTab(const std::optional<QString> &tabID);
    QPointF toContent(QPointF viewportPoint) const;
    QPointF toViewport(QPointF contentPoint) const;
    // The content point under a viewport point; none outside the viewport.
    std::optional<QPointF> contentPointAt(QPoint viewportPoint) const;
    std::optional<QString> tabAt(QPoint viewportPoint) const;
    const TabRowActions &rowActions() const;
    int rowOfKey(SidebarListEntry::Kind kind, const QString &key) const;
    void activate(int row, Part part, Qt::KeyboardModifiers modifiers);
    void finishDrag(QPointF contentPoint);
    void paintDragOverlay(QPainter &painter);
    void paintPinHint(QPainter &painter, QPointF origin);
    void paintLiftedRow(QPainter &painter, int row, const QRectF &band, double opacity);
    void showMenu(const SidebarMenu &menu, QPoint globalPos);
    SidebarRowDelegate::State changeState(int row) const;
    void settleChange();

    // Rows that came in fade in; rows below those that went slide up from where they stood.
    struct Change {
        int insertedFirst = 0;
        int insertedEnd = 0;
        int shiftedFirst = 0;
        std::optional<int> oldShiftedTop;
        int shift = 0;  // how far the rows from shiftedFirst on moved up
    };

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
    std::optional<SidebarListDrag> drag_;
    // Favicon hosts by tab, kept while the tab's address stays: working one out costs far more
    // than comparing addresses, and a search rebuilds thousands of rows per keystroke.
    struct FaviconHost {
        std::optional<QUrl> url;
        std::optional<QString> host;
    };
    TextMap<FaviconHost> faviconHosts_;

    Scheduler *scheduler_ = nullptr;
    std::unique_ptr<ScheduledAnimation> scroll_;
    std::unique_ptr<ScheduledAnimation> changeAnimation_;
    bool changeKeyed_ = false;  // the pending rebuild follows the windows or a fold
    bool collectsChange_ = false;
    std::optional<Change> change_;
    double changeProgress_ = 1;
};

}  // namespace ondrake
