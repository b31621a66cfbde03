#include "Shell/SecondaryWindows.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace ondrake {

// A titled, closable window that takes its content's size and cannot be resized or minimised.
class SecondaryWindows::Window final : public QWidget {
public:
    Window(const QString &title, std::unique_ptr<QWidget> content, std::function<void()> onClose)
        : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
          onClose_(std::move(onClose)) {
        setWindowTitle(title);
        setAccessibleName(title);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(content.release());
        layout->activate();
        centre();
    }

protected:
    void closeEvent(QCloseEvent *event) override {
        QWidget::closeEvent(event);
        if (event->isAccepted() && onClose_) onClose_();
    }

private:
    void centre() {
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (!screen) return;
        QRect frame(QPoint(), sizeHint());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    std::function<void()> onClose_;
};

SecondaryWindows::SecondaryWindows(std::function<void()> activateApplication)
    : activateApplication_(std::move(activateApplication)) {}

SecondaryWindows::~SecondaryWindows() = default;

QString SecondaryWindows::title(Kind kind) {
    switch (kind) {
    case Kind::settings: return QStringLiteral("Settings");
    case Kind::calibration: return QStringLiteral("Calibrate Overlay");
    case Kind::commandPalette: return QStringLiteral("Command Palette");
    }
    return {};
}

void SecondaryWindows::setContent(Kind kind, ContentFactory factory) { slot(kind).content = std::move(factory); }

bool SecondaryWindows::hasContent(Kind kind) const { return slot(kind).window || slot(kind).content; }

void SecondaryWindows::setOnClose(Kind kind, std::function<void()> reaction) { slot(kind).onClose = std::move(reaction); }

QWidget *SecondaryWindows::open(Kind kind) {
    Slot &s = slot(kind);
    if (!hasContent(kind)) return nullptr;
    activateApplication_();
    if (!s.window) {
        auto content = s.content();
        if (!content) return nullptr;
        // The reaction is looked up when the window closes, so a later setOnClose still counts.
        s.window = std::make_unique<Window>(title(kind), std::move(content), [this, kind] {
            if (const auto &reaction = slot(kind).onClose) reaction();
        });
    }
    s.window->show();
    s.window->raise();
    s.window->activateWindow();
    return s.window.get();
}

void SecondaryWindows::close(Kind kind) {
    if (auto *w = window(kind); w && w->isVisible()) w->close();
}

void SecondaryWindows::orderOut(Kind kind) {
    if (auto *w = window(kind)) w->hide();
}

QWidget *SecondaryWindows::window(Kind kind) const { return slot(kind).window.get(); }

bool SecondaryWindows::contains(const QWidget &window) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot &s) { return s.window.get() == &window; });
}

}  // namespace ondrake
