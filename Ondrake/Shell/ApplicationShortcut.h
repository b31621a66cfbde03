#pragma once

#include "MenuModel.h"

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace ondrake {

// The key equivalent of an application command, working in every window of the application's own
// while it has the keyboard, as a command of the main menu would. Other windows of the process
// (the simulated browser's) are left alone. Main thread.
class ApplicationShortcut final : public QObject {
public:
    ApplicationShortcut(KeyEquivalent key, std::function<bool(const QWidget &window)> isOwnWindow,
                        std::function<void()> action);
    ~ApplicationShortcut() override;

    static bool matches(const KeyEquivalent &key, const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const KeyEquivalent key_;
    const std::function<bool(const QWidget &)> isOwnWindow_;
    const std::function<void()> action_;
};

}  // namespace ondrake
