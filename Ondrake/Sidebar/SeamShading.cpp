#include "Ondrake/Sidebar/SeamShading.h"

#include "UserDefaults.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

const QString kStrengthKey = QStringLiteral("SidebarSeamStrength");
const QString kWidthKey = QStringLiteral("SidebarSeamWidth");

double number(const std::optional<QVariant> &stored, double fallback, double upper) {
    if (!stored) return fallback;
    switch (stored->typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: break;
    default: return fallback;
    }
    const double value = stored->toDouble();
    if (!std::isfinite(value)) return fallback;
    return std::clamp(value, 0.0, upper);
}

}  // namespace

SeamMetrics SeamMetrics::from(const std::optional<QVariant> &strength, const std::optional<QVariant> &width) {
    return SeamMetrics{number(strength, kDefaultStrength, kMaxStrength), number(width, kDefaultWidth, kMaxWidth)};
}

SeamMetrics SeamMetrics::read(const UserDefaults &defaults) {
    return from(defaults.objectForKey(kStrengthKey), defaults.objectForKey(kWidthKey));
}

QColor SeamMetrics::shade(QColor color) const {
    // Strong colours at double strength would pass opaque; QColor refuses such an alpha outright.
    color.setAlphaF(float(std::min(1.0, color.alphaF() * strength)));
    return color;
}

SeamShading::SeamShading(Side side, ThemeColor color, bool hairline, UserDefaults *defaults, QWidget *parent)
    : QWidget(parent), side_(side), color_(color), hairline_(hairline), defaults_(defaults) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    if (defaults) connect(defaults, &UserDefaults::didChange, this, qOverload<>(&QWidget::update));
}

void SeamShading::setColor(ThemeColor color) {
    if (color == color_) return;
    color_ = color;
    update();
}

SeamMetrics SeamShading::metrics() const { return defaults_ ? SeamMetrics::read(*defaults_) : SeamMetrics{}; }

void SeamShading::paintEvent(QPaintEvent *) {
    const SeamMetrics seam = metrics();
    if (!seam.isVisible()) return;
    const QColor color = seam.shade(color_.resolved(palette()));
    QColor clear = color;
    clear.setAlpha(0);

    // Trailing is the right edge in a left-to-right layout.
    const bool atRight = (side_ == Side::trailing) == (layoutDirection() == Qt::LeftToRight);
    const double edge = atRight ? width() : 0;
    const double inner = atRight ? width() - seam.width : seam.width;

    QPainter painter(this);
    if (seam.width > 0) {
        QLinearGradient gradient(QPointF(inner, 0), QPointF(edge, 0));
        gradient.setColorAt(0, clear);
        gradient.setColorAt(1, color);
        painter.fillRect(QRectF(std::min(inner, edge), 0, seam.width, height()), gradient);
    }
    if (hairline_) painter.fillRect(QRectF(atRight ? edge - 1 : 0, 0, 1, height()), color);
}

}  // namespace ondrake
