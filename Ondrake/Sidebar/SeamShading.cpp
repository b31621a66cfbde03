#include "Ondrake/Sidebar/SeamShading.h"

#include "UserDefaults.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {

// Lines of device pixels filled at a time.
constexpr double kStripLines = 64;

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

void SeamPaint::paint(QPainter &painter, double devicePixelRatio) const {
    if (!metrics.isVisible()) return;
    const QColor shade = metrics.shade(color);
    QColor clear = shade;
    clear.setAlpha(0);
    const double edge = atRight ? size.width() : 0;
    const double inner = atRight ? size.width() - metrics.width : metrics.width;
    QLinearGradient gradient(QPointF(inner, 0), QPointF(edge, 0));
    gradient.setColorAt(0, clear);
    gradient.setColorAt(1, shade);
    const QBrush band(gradient);
    // The raster engine hands a fill of more than about a hundred lines to its thread pool and
    // waits for it: on a busy machine that wait outlasts the fill of so thin a band many times
    // over. Strips of fewer lines, on whole points, meet on the same pixel edges and fill the
    // same pixels; those outside what is repainted cost next to nothing.
    const int strip = std::max(1, int(kStripLines / std::max(1.0, devicePixelRatio)));
    for (int top = 0; top < size.height(); top += strip) {
        const int lines = std::min(strip, size.height() - top);
        if (metrics.width > 0) painter.fillRect(QRectF(std::min(inner, edge), top, metrics.width, lines), band);
        if (hairline) painter.fillRect(QRectF(atRight ? edge - 1 : 0, top, 1, lines), shade);
    }
}

void SeamShading::paintEvent(QPaintEvent *) {
    // Trailing is the right edge in a left-to-right layout.
    const bool atRight = (side_ == Side::trailing) == (layoutDirection() == Qt::LeftToRight);
    QPainter painter(this);
    SeamPaint{size(), metrics(), color_.resolved(palette()), atRight, hairline_}.paint(painter, devicePixelRatioF());
}

}  // namespace ondrake
