#pragma once

#include "KeyRepeats.h"
#include "MenuModel.h"

#include <QObject>

#include <functional>
#include <memory>

class QWidget;

namespace ondrake {

// The key equivalents of a menu's items, working in every window of the application's own while
// it has the keyboard, as a main menu's do, whether or not the menu can be shown. Other windows
// of the process (the simulated browser's) are left alone. A held key chooses its item once.
// Main thread.
class MenuKeyEquivalents final : public QObject {
public:
    MenuKeyEquivalents(std::shared_ptr<MenuModel> menu, std::function<bool(const QWidget &window)> isOwnWindow);
    ~MenuKeyEquivalents() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const std::shared_ptr<MenuModel> menu_;
    const std::function<bool(const QWidget &)> isOwnWindow_;
    KeyRepeats repeats_;
};

}  // namespace ondrake
