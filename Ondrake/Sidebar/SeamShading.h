#pragma once

#include "Ondrake/Sidebar/ThemeColor.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <optional>

class QPainter;

namespace ondrake {

class UserDefaults;

// How strongly and how wide the seam is shaded, from the user's two tunables.
struct SeamMetrics {
    static constexpr double kDefaultStrength = 1.0;
    static constexpr double kMaxStrength = 2.0;
    static constexpr double kDefaultWidth = 8.0;
    static constexpr double kMaxWidth = 24.0;

    double strength = kDefaultStrength;
    double width = kDefaultWidth;

    bool operator==(const SeamMetrics &) const = default;

    // Anything stored that is not a finite number reads as the default; numbers are clamped.
    static SeamMetrics from(const std::optional<QVariant> &strength, const std::optional<QVariant> &width);
    static SeamMetrics read(const UserDefaults &defaults);

    // The seam colour at this strength: its opacity scaled, never beyond opaque.
    QColor shade(QColor color) const;
    bool isVisible() const { return strength > 0; }
};

// What the seam draws over a widget of one size: the band and the hairline at one edge.
struct SeamPaint {
    QSize size;
    SeamMetrics metrics;
    QColor color;  // the theme's seam colour, before the strength is applied
    bool atRight = true;
    bool hairline = false;

    // `devicePixelRatio`: that of the device the painter draws on.
    void paint(QPainter &painter, double devicePixelRatio) const;
};

// A soft shadow band, and optionally a one-point hairline, along the edge where the sidebar meets
// the browser's window. Lets every pointer event through to what lies beneath.
class SeamShading : public QWidget {
    Q_OBJECT
public:
    enum class Side { trailing, leading };

    SeamShading(Side side, ThemeColor color, bool hairline, UserDefaults *defaults, QWidget *parent = nullptr);

    void setColor(ThemeColor color);
    SeamMetrics metrics() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Side side_;
    ThemeColor color_;
    bool hairline_;
    QPointer<UserDefaults> defaults_;
};

}  // namespace ondrake
