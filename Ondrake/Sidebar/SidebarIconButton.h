#pragma once

#include "Ondrake/Sidebar/SidebarHeaderModel.h"

#include <QPointer>
#include <QToolButton>

namespace ondrake {

class SidebarEnvironment;

// A borderless button that shows one symbol in the theme's muted colour, with the tool tip and
// accessible name an icon-only control needs. Reachable by Tab; Space presses it.
class SidebarIconButton : public QToolButton {
    Q_OBJECT
public:
    SidebarIconButton(HeaderIcon icon, int symbolSize, SidebarEnvironment *environment, QWidget *parent = nullptr);

    void setIcon(const HeaderIcon &icon);
    const HeaderIcon &headerIcon() const { return icon_; }
    // Focus that came from the keyboard is drawn; a click's is not.
    bool showsFocusFrame() const { return hasFocus() && showsFocus_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    HeaderIcon icon_;
    bool showsFocus_ = false;  // only the keyboard's focus is drawn
    int symbolSize_;
    QPointer<SidebarEnvironment> environment_;
};

// A one-point line between the header, the content and the footer, at half the border colour.
class SidebarDivider : public QWidget {
    Q_OBJECT
public:
    explicit SidebarDivider(SidebarEnvironment *environment, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<SidebarEnvironment> environment_;
};

}  // namespace ondrake
