#include "Ondrake/Sidebar/ThemeColor.h"

#include <QGuiApplication>
#include <QPalette>
#include <QStyleHints>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

// The window material has no opaque colour of its own; these are close to how it reads over an
// ordinary desktop.
const QColor kLightMaterial = QColor::fromRgbF(0.925f, 0.925f, 0.93f);
const QColor kDarkMaterial = QColor::fromRgbF(0.165f, 0.165f, 0.176f);

// Secondary text is primary text at reduced opacity, a little stronger on dark backgrounds.
constexpr double kSecondaryLight = 0.5;
constexpr double kSecondaryDark = 0.55;

QString number(double value) { return QString::number(value, 'g', 6); }

double relativeLuminance(const QColor &color) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

QColor mixed(const QColor &from, const QColor &to, double amount) {
    const auto mix = [amount](double a, double b) { return float(a + (b - a) * amount); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()));
}

}  // namespace

double contrastRatio(const QColor &a, const QColor &b) {
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor legibleOn(const QColor &text, const QColor &surface, double minimumRatio) {
    const QColor laid = mixed(surface, QColor(text.rgb()), text.alphaF());
    if (contrastRatio(laid, surface) >= minimumRatio) return text;
    const QColor target = contrastRatio(Qt::black, surface) >= contrastRatio(Qt::white, surface) ? QColor(Qt::black)
                                                                                                  : QColor(Qt::white);
    // The least change that reads; twenty halvings are finer than a colour channel's step.
    double low = 0;
    double high = 1;
    for (int i = 0; i < 20; ++i) {
        const double middle = (low + high) / 2;
        (contrastRatio(mixed(laid, target, middle), surface) >= minimumRatio ? high : low) = middle;
    }
    return mixed(laid, target, high);
}

ColorScheme colorSchemeOf(const QPalette &palette) {
    return palette.color(QPalette::WindowText).lightnessF() > palette.color(QPalette::Window).lightnessF()
               ? ColorScheme::dark
               : ColorScheme::light;
}

ColorScheme platformColorScheme() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    switch (QGuiApplication::styleHints()->colorScheme()) {
    case Qt::ColorScheme::Dark: return ColorScheme::dark;
    case Qt::ColorScheme::Light: return ColorScheme::light;
    case Qt::ColorScheme::Unknown: break;
    }
#endif
    return colorSchemeOf(QGuiApplication::palette());
}

QColor ThemeColor::resolved(const QPalette &palette) const {
    QColor color;
    switch (kind_) {
    case Kind::rgb: color = QColor::fromRgbF(float(red_), float(green_), float(blue_)); break;
    case Kind::black: color = Qt::black; break;
    case Kind::white: color = Qt::white; break;
    case Kind::primary: color = palette.color(QPalette::WindowText); break;
    case Kind::secondary:
        color = palette.color(QPalette::WindowText);
        color.setAlphaF(float(colorSchemeOf(palette) == ColorScheme::dark ? kSecondaryDark : kSecondaryLight));
        break;
    case Kind::accent: color = palette.color(QPalette::Highlight); break;
    case Kind::material: color = colorSchemeOf(palette) == ColorScheme::dark ? kDarkMaterial : kLightMaterial; break;
    }
    if (opacity_) color.setAlphaF(float(std::clamp(*opacity_, 0.0, 1.0)));
    return color;
}

QString ThemeColor::description() const {
    QString text;
    switch (kind_) {
    case Kind::rgb: text = QStringLiteral("rgb(%1, %2, %3)").arg(number(red_), number(green_), number(blue_)); break;
    case Kind::black: text = QStringLiteral("black"); break;
    case Kind::white: text = QStringLiteral("white"); break;
    case Kind::primary: text = QStringLiteral("primary"); break;
    case Kind::secondary: text = QStringLiteral("secondary"); break;
    case Kind::accent: text = QStringLiteral("accent colour"); break;
    case Kind::material: text = QStringLiteral("material"); break;
    }
    if (opacity_) text += QStringLiteral(" × ") + number(*opacity_);
    return text;
}

}  // namespace ondrake
