#pragma once

#include "Ondrake/Sidebar/ElidedLabel.h"
#include "Ondrake/Sidebar/GroupPrompt.h"
#include "Ondrake/Sidebar/SidebarMessage.h"
#include "Ondrake/Sidebar/SidebarThemeChoice.h"

#include "Scheduler.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QGraphicsOpacityEffect;
class QHBoxLayout;
class QLabel;
class QMenu;
class QStackedWidget;
class QVBoxLayout;

namespace ondrake {

class GroupPromptDialog;
class LoadingView;
class NewTabRow;
class Privacy;
class ResizeHandle;
class ScheduledAnimation;
class SeamShading;
class SidebarDivider;
class SidebarEnvironment;
class SidebarIconButton;
class SidebarMessageView;
class SidebarSearchField;
class SidebarTabList;
class SidebarThemeModifier;
class TabStore;
class UserDefaults;

// The root of the sidebar panel: header (toolbar, search field or the compact rail's header),
// the last action's summary, the content for the store's state, and the New Tab footer, with the
// seam and the resize handle on the panel's edges. Owns no model state: everything it shows comes
// from the store and the user defaults, everything it changes goes to the store or to the shell
// through the callbacks.
class SidebarView : public QWidget {
    Q_OBJECT
public:
    // What the shell hears from the sidebar. The three resize callbacks come from the handle; the
    // others fire on a change, never for the first value.
    struct Callbacks {
        std::function<void()> onResizeBegan;
        std::function<void(double)> onResize;
        std::function<void()> onResizeEnded;
        std::function<void(bool)> onSearchFocusChanged;
        std::function<void(bool)> onCompactModeChanged;
        std::function<void(SidebarThemeChoice)> onThemeChanged;
    };

    // The platform services the view asks; each must outlive it.
    struct Services {
        Scheduler &scheduler;
        UserDefaults &defaults;  // the theme and the seam
        Privacy &privacy;        // the way to the automation setting
    };

    using GroupPrompt = ondrake::GroupPrompt;

    // The status line's fade and the scroll to a new tab.
    static constexpr Seconds kStatusFadeDuration{0.15};
    // The least contrast a secondary text keeps with the panel behind it.
    static constexpr double kMutedTextContrast = 3;
    static constexpr Seconds kNewTabScrollDuration{0.15};

    SidebarView(TabStore &store, Callbacks callbacks, Services services, QWidget *parent = nullptr);
    ~SidebarView() override;

    SidebarEnvironment &environment() const { return *environment_; }
    SidebarThemeChoice themeChoice() const { return themeChoice_; }
    bool isSearchFieldFocused() const { return isSearchFieldFocused_; }
    SidebarContentKind contentKind() const { return contentKind_; }

    // The create prompt, filing `tabs` into the new group once confirmed.
    void requestGroupPrompt(std::vector<SafariTab> tabs);
    void requestRenamePrompt(const TabGroup &group);
    // The prompt's confirm button.
    void commitGroupPrompt(const GroupPrompt &prompt);
    const std::optional<GroupPrompt> &groupPrompt() const { return groupPrompt_; }
    const QString &groupPromptText() const { return groupPromptText_; }
    GroupPromptDialog *groupPromptDialog() const;

    // Scrolls the list to a tab the New Tab footer opened, once per tab: now and again after the
    // list has had 220 ms to take in the new row.
    void scrollToNewTab(const std::optional<QString> &targetID);
    void openNewTab();

    // The parts a test or the shell looks at.
    SidebarSearchField *searchField() const { return searchField_; }
    QWidget *headerToolbar() const { return toolbar_; }
    QWidget *compactHeader() const { return compactHeader_; }
    QLabel *countLabel() const { return count_; }
    QLabel *compactCountLabel() const { return compactCount_; }
    ElidedLabel *statusLabel() const { return status_; }
    ElidedLabel *titleLabel() const { return title_; }
    // 1 while the status line stands; less while it fades in or out.
    double statusOpacity() const;
    SidebarIconButton *newGroupButton() const { return newGroup_; }
    SidebarIconButton *arrangeButton() const { return arrange_; }
    SidebarIconButton *searchButton() const { return search_; }
    SidebarIconButton *compactToggle() const { return compactToggle_; }
    NewTabRow *newTabRow() const { return newTabRow_; }
    QWidget *footer() const { return footer_; }
    SidebarMessageView *messageView() const { return messageView_; }
    QWidget *currentContent() const;
    SidebarTabList *tabList() const { return list_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void buildHeader();
    void buildFooter();
    void buildList();
    void applyTheme();
    void themeSettingChanged();
    void compactChanged();
    void updateHeader();
    // The control that takes the keyboard when the header part holding `focused` goes.
    QWidget *headerSuccessor(QWidget *focused, bool searching) const;
    static bool showsKeyboardFocus(QWidget *focused);
    void updateCounts();
    void updateStatus();
    void summaryChanged();
    void updateFooter();
    void updateContent();
    void focusSearchField();
    void scrollListTo(const QString &tabID);
    void searchFocusChanged(bool focused);
    void messageAction(SidebarMessage::Action action);
    void showArrangeMenu();
    void presentGroupPrompt(GroupPrompt prompt);
    void layoutOverlays();

    TabStore &store_;
    Callbacks callbacks_;
    Scheduler &scheduler_;
    UserDefaults &defaults_;
    Privacy &privacy_;

    SidebarEnvironment *environment_;
    SidebarThemeModifier *themeModifier_;
    SidebarThemeChoice themeChoice_;
    bool isCompact_;
    bool isSearchFieldFocused_ = false;
    SidebarContentKind contentKind_ = SidebarContentKind::loading;
    std::optional<GroupPrompt> groupPrompt_;
    QString groupPromptText_;
    QPointer<GroupPromptDialog> promptDialog_;
    std::optional<QString> scrolledToNewTabID_;
    TimerHandle newTabRescroll_;

    QVBoxLayout *column_;
    QWidget *header_;
    QWidget *toolbar_;
    ElidedLabel *title_;
    SidebarIconButton *newGroup_;
    SidebarIconButton *arrange_;
    QMenu *arrangeMenu_;
    SidebarIconButton *search_;
    SidebarIconButton *compactToggle_;
    QLabel *count_;
    SidebarSearchField *searchField_;
    QWidget *compactHeader_;
    SidebarIconButton *compactRailToggle_;
    QLabel *compactCount_;
    ElidedLabel *status_;
    QGraphicsOpacityEffect *statusOpacity_;
    std::unique_ptr<ScheduledAnimation> statusFade_;
    QStackedWidget *content_;
    LoadingView *loadingView_;
    SidebarMessageView *messageView_;
    SidebarTabList *list_;
    QWidget *footer_;
    NewTabRow *newTabRow_;
    SeamShading *seam_;
    ResizeHandle *resizeHandle_;
};

}  // namespace ondrake
