#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QPalette;

namespace ondrake {

enum class ColorScheme { light, dark };

// The scheme a palette is drawn in: dark when its text is lighter than its window.
ColorScheme colorSchemeOf(const QPalette &palette);
// The platform's current scheme: the style hints where they know it, else the application palette.
ColorScheme platformColorScheme();

// WCAG 2 contrast ratio of two opaque colours, from 1 (equal) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b);
// `text` laid over the opaque `surface`, taken just far enough towards black or white, whichever
// the surface is further from, to read at `minimumRatio`; unchanged when it already does.
QColor legibleOn(const QColor &text, const QColor &surface, double minimumRatio);

// A colour of a theme. Fixed colours are sRGB; the system colours (primary and secondary text,
// the user's accent and the window material) stay dynamic and are only turned into pixels against
// the palette of the widget that draws them, so they follow its appearance.
class ThemeColor {
public:
    enum class Kind {
        rgb,
        black,
        white,
        primary,    // primary text
        secondary,  // secondary text
        accent,     // the user's accent (the palette's highlight)
        material,   // opaque stand-in for the translucent window material
    };

    static constexpr ThemeColor rgb(double red, double green, double blue) {
        return ThemeColor(Kind::rgb, red, green, blue);
    }
    static constexpr ThemeColor black() { return ThemeColor(Kind::black); }
    static constexpr ThemeColor white() { return ThemeColor(Kind::white); }
    static constexpr ThemeColor primary() { return ThemeColor(Kind::primary); }
    static constexpr ThemeColor secondary() { return ThemeColor(Kind::secondary); }
    static constexpr ThemeColor accent() { return ThemeColor(Kind::accent); }
    static constexpr ThemeColor material() { return ThemeColor(Kind::material); }

    // The same colour with its opacity set (not multiplied) to `value`.
    constexpr ThemeColor opacity(double value) const {
        ThemeColor copy = *this;
        copy.opacity_ = value;
        return copy;
    }

    Kind kind() const { return kind_; }
    std::optional<double> opacity() const { return opacity_; }

    QColor resolved(const QPalette &palette) const;
    // "rgb(0.13, 0.13, 0.13) × 0.7", "accent colour × 0.26", "primary", ...
    QString description() const;

    bool operator==(const ThemeColor &) const = default;

private:
    constexpr explicit ThemeColor(Kind kind, double red = 0, double green = 0, double blue = 0)
        : kind_(kind), red_(red), green_(green), blue_(blue) {}

    Kind kind_;
    double red_;
    double green_;
    double blue_;
    std::optional<double> opacity_;
};

}  // namespace ondrake
