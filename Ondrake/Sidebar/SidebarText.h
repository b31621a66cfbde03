#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace ondrake::sidebar {

// Sizes are the design's points, drawn one pixel each.
inline QFont sizedFont(QFont font, int pixels, QFont::Weight weight = QFont::Normal) {
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

inline void setTextColor(QWidget *widget, const QColor &color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

// The colour with its opacity scaled.
inline QColor faded(QColor color, double opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

}  // namespace ondrake::sidebar
