#pragma once

#include "Pixels.h"
#include "Screenshots.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace ondrake::test {

QPalette lightPalette();
QPalette darkPalette();

// `top` composited over the opaque `bottom`.
QColor over(const QColor &top, const QColor &bottom);

// Whether two opaque colours differ by at most `tolerance` in every channel.
::testing::AssertionResult colorNear(const QColor &actual, const QColor &expected, int tolerance = 2);

// A widget that fills itself with `background` and then runs `paint`.
class PaintHost : public QWidget {
public:
    using Paint = std::function<void(QPainter &, const QRect &)>;
    PaintHost(QSize size, QColor background, Paint paint, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor background_;
    Paint paint_;
};

}  // namespace ondrake::test
