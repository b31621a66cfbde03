#include "SidebarTestSupport.h"

#include <QPainter>

#include <cmath>

namespace ondrake::test {

QPalette lightPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(236, 236, 236));
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
    palette.setColor(QPalette::Highlight, QColor(0, 122, 255));
    return palette;
}

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(40, 40, 42));
    palette.setColor(QPalette::WindowText, QColor(255, 255, 255));
    palette.setColor(QPalette::Highlight, QColor(10, 132, 255));
    return palette;
}

QColor over(const QColor &top, const QColor &bottom) {
    const double a = top.alphaF();
    auto mix = [a](double t, double b) { return int(std::lround((t * a + b * (1 - a)) * 255)); };
    return QColor(mix(top.redF(), bottom.redF()), mix(top.greenF(), bottom.greenF()), mix(top.blueF(), bottom.blueF()));
}

::testing::AssertionResult colorNear(const QColor &actual, const QColor &expected, int tolerance) {
    const bool near = std::abs(actual.red() - expected.red()) <= tolerance
                      && std::abs(actual.green() - expected.green()) <= tolerance
                      && std::abs(actual.blue() - expected.blue()) <= tolerance;
    if (near) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << actual.name().toStdString() << ", expected "
                                         << expected.name().toStdString();
}

PaintHost::PaintHost(QSize size, QColor background, Paint paint, QWidget *parent)
    : QWidget(parent), background_(background), paint_(std::move(paint)) {
    setFixedSize(size);
}

void PaintHost::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    if (paint_) paint_(painter, rect());
}

}  // namespace ondrake::test
