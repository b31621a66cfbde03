#pragma once

#include "Ondrake/Sidebar/SidebarThemeTokens.h"

#include <QAbstractButton>

#include <functional>

namespace ondrake {

// A small button at the bar's right end showing a symbol or a short caption, tinted stronger and
// backed while the pointer is over it. Its help text is both its tool tip and its accessible name.
// Colours follow its own appearance: the dark set in dark appearance, the light set otherwise.
class OverlayBarButton final : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr double cornerRadius = 5;

    // What the button shows: a symbol of the catalog, or else the caption.
    struct Face {
        QString symbol{};
        QString caption{};
    };

    OverlayBarButton(Face face, QString help, std::function<void()> action, QWidget *parent = nullptr);

    const QString &symbol() const { return face_.symbol; }
    const QString &caption() const { return face_.caption; }
    bool isHovering() const { return isHovering_; }
    // The symbol's colour for the hover state.
    static ThemeColor symbolColor(const SidebarThemeTokens &theme, bool hovering) {
        return hovering ? theme.foreground : theme.mutedForeground;
    }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Face face_;
    std::function<void()> action_;
    bool isHovering_ = false;
};

}  // namespace ondrake
