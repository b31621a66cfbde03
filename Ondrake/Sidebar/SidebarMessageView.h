#pragma once

#include "Ondrake/Sidebar/SidebarMessage.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace ondrake {

class SidebarEnvironment;

// One centred message in place of the tab list: symbol, title, text and the state's action.
class SidebarMessageView : public QWidget {
    Q_OBJECT
public:
    using OnAction = std::function<void(SidebarMessage::Action)>;

    SidebarMessageView(SidebarEnvironment *environment, OnAction onAction, QWidget *parent = nullptr);

    void setMessage(const SidebarMessage &message);
    const SidebarMessage &message() const { return message_; }
    // The action's button; none for states without one.
    QPushButton *actionButton() const;

private:
    void applyTheme();

    QPointer<SidebarEnvironment> environment_;
    OnAction onAction_;
    SidebarMessage message_;
    QLabel *symbol_;
    QLabel *title_;
    QLabel *text_;
    QPushButton *button_;
    QLabel *note_;
};

// "Connecting to Safari…" under a spinner, while the store has not polled yet.
class LoadingView : public QWidget {
    Q_OBJECT
public:
    explicit LoadingView(SidebarEnvironment *environment, QWidget *parent = nullptr);

private:
    void applyTheme();

    QPointer<SidebarEnvironment> environment_;
    QLabel *text_;
};

}  // namespace ondrake
