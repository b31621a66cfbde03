#pragma once

#include "Ondrake/Sidebar/SidebarThemeChoice.h"
#include "Ondrake/Sidebar/ThemeColor.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace ondrake {

class SidebarEnvironment;

// Keeps the environment's theme resolved from the stored choice and the colour scheme of the
// sidebar's root widget, and its palette the root's, re-resolving when either changes.
class SidebarThemeModifier : public QObject {
    Q_OBJECT
public:
    SidebarThemeModifier(SidebarThemeChoice choice, QWidget *root, SidebarEnvironment *environment);

    SidebarThemeChoice choice() const { return choice_; }
    void setChoice(SidebarThemeChoice choice);
    ColorScheme colorScheme() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply();

    SidebarThemeChoice choice_;
    QPointer<QWidget> root_;
    QPointer<SidebarEnvironment> environment_;
};

}  // namespace ondrake
