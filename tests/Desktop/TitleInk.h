#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

namespace ondrake::test {

// What a screenshot shows of the title that leads the sidebar's header: how wide its letters are
// painted and how strongly the strongest of them stands out from the surface behind them.
struct TitleInk {
    int paintedWidth = 0;
    double contrast = 1;
    QColor surface;

    // `panel`: the sidebar's window on the screenshot. The title lies in the left half of the
    // header row, clear of the rounded corner.
    static TitleInk measure(const QImage &screenshot, const QRect &panel);
    static QRect area(const QRect &panel);
};

}  // namespace ondrake::test
