#pragma once

#include "XSession.h"

#include <QPoint>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace ondrake::test {

// The gestures of a person's hand, through xdotool.
class Hand {
public:
    explicit Hand(const XServer &server) : environment_(server.clientEnvironment(QString())) {}
    bool point(QPoint at) const;
    bool click(QPoint at, int button = 1) const;
    // A click with Control held: adds the row to the selection or takes it out.
    bool controlClick(QPoint at) const;
    bool key(const QString &keys) const;
    bool keyDown(const QString &keys) const;
    bool keyUp(const QString &keys) const;

private:
    bool run(const QStringList &arguments) const;
    QProcessEnvironment environment_;
};

// The menus and tool tips a process shows: windows on the root that no window manager handles.
// This toolkit calls a menu a normal window; a tool tip says what it is.
class Popups {
public:
    explicit Popups(const XServer &server);

    std::vector<QRect> menus(qint64 process) const { return shown(process, false); }
    std::vector<QRect> toolTips(qint64 process) const { return shown(process, true); }

private:
    std::vector<std::uint32_t> values(XWindow window, std::uint32_t property, std::uint32_t type) const;
    std::vector<QRect> shown(qint64 process, bool toolTips) const;

    XConnection x_;
    xcb_connection_t *const connection_ = x_.get();
    const XWindow root_ = x_.root();
    const std::uint32_t type_;
    const std::uint32_t toolTip_;
    const std::uint32_t pid_;
};

}  // namespace ondrake::test
