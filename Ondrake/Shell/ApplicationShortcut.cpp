#include "Shell/ApplicationShortcut.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ondrake {

ApplicationShortcut::ApplicationShortcut(KeyEquivalent key, std::function<bool(const QWidget &)> isOwnWindow,
                                         std::function<void()> action)
    : key_(std::move(key)), isOwnWindow_(std::move(isOwnWindow)), action_(std::move(action)) {
    QCoreApplication::instance()->installEventFilter(this);
}

ApplicationShortcut::~ApplicationShortcut() = default;

bool ApplicationShortcut::matches(const KeyEquivalent &key, const QKeyEvent &event) {
    const QKeySequence sequence = key.sequence();
    if (sequence.isEmpty() || event.isAutoRepeat()) return false;
    const auto modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return QKeyCombination(modifiers, Qt::Key(event.key())) == sequence[0];
}

bool ApplicationShortcut::eventFilter(QObject *watched, QEvent *event) {
    // A key press reaches the focused widget, then its parents; the first sight decides.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    const auto &press = *static_cast<QKeyEvent *>(event);
    if (!matches(key_, press) || !isOwnWindow_(*static_cast<QWidget *>(watched)->window())) return false;
    action_();
    return true;
}

}  // namespace ondrake
