#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

namespace ondrake {

// The application's ordinary windows beside the docked panel: settings, overlay calibration and
// the command palette. Each is made from its content on first use, centred and sized to it, kept
// when closed, and shown again on later requests. Every request first brings the application to
// the front, since an application without a Dock icon does not come forward by itself. Main
// thread.
class SecondaryWindows {
public:
    enum class Kind { settings, calibration, commandPalette };
    using ContentFactory = std::function<std::unique_ptr<QWidget>()>;

    explicit SecondaryWindows(std::function<void()> activateApplication);
    ~SecondaryWindows();
    SecondaryWindows(const SecondaryWindows &) = delete;
    SecondaryWindows &operator=(const SecondaryWindows &) = delete;

    static QString title(Kind kind);

    // Builds the window's content when it is first opened. Without one the window cannot open.
    void setContent(Kind kind, ContentFactory factory);
    bool hasContent(Kind kind) const;
    // Runs when the user closes the window (its close button, or `close`), not when it is only
    // ordered out.
    void setOnClose(Kind kind, std::function<void()> reaction);

    // Activates the application, makes the window if there is none, and brings it to the front
    // as the key window. Nothing without content.
    QWidget *open(Kind kind);
    // As the close button does.
    void close(Kind kind);
    // Hides the window without the close reaction.
    void orderOut(Kind kind);
    // None until first opened.
    QWidget *window(Kind kind) const;
    // Whether `window` is one of these windows.
    bool contains(const QWidget &window) const;

private:
    class Window;
    struct Slot {
        ContentFactory content;
        std::function<void()> onClose;
        std::unique_ptr<Window> window;
    };

    Slot &slot(Kind kind) { return slots_[std::size_t(kind)]; }
    const Slot &slot(Kind kind) const { return slots_[std::size_t(kind)]; }

    std::function<void()> activateApplication_;
    std::array<Slot, 3> slots_;
};

}  // namespace ondrake
