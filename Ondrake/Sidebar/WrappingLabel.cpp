#include "Ondrake/Sidebar/WrappingLabel.h"

#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace ondrake {

namespace {

struct Lines {
    double height = 0;
    double naturalWidth = 0;
    int count = 0;
};

Lines layOut(QTextLayout &layout, double width, Qt::Alignment alignment = Qt::AlignHCenter) {
    QTextOption option(alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    Lines lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1.0, width));
        line.setPosition(QPointF(0, lines.height));
        lines.height += line.height();
        lines.naturalWidth = std::max(lines.naturalWidth, line.naturalTextWidth());
        ++lines.count;
    }
    layout.endLayout();
    return lines;
}

// Line breaks in the text stay line breaks.
QString laidOutText(QString text) { return text.replace(u'\n', QChar::LineSeparator); }

}  // namespace

WrappingLabel::WrappingLabel(QWidget *parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrappingLabel::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    QTextLayout layout(laidOutText(text()), font());
    return int(std::ceil(layOut(layout, width - m.left() - m.right()).height)) + m.top() + m.bottom();
}

int WrappingLabel::lineCount(int width) const {
    const QMargins m = contentsMargins();
    QTextLayout layout(laidOutText(text()), font());
    return layOut(layout, width - m.left() - m.right()).count;
}

QSize WrappingLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    QTextLayout layout(laidOutText(text()), font());
    const Lines lines = layOut(layout, 1e6);
    return QSize(int(std::ceil(lines.naturalWidth)) + m.left() + m.right(),
                 int(std::ceil(lines.height)) + m.top() + m.bottom());
}

QSize WrappingLabel::minimumSizeHint() const {
    const QMargins m = contentsMargins();
    return QSize(m.left() + m.right(), fontMetrics().height() + m.top() + m.bottom());
}

void WrappingLabel::paintEvent(QPaintEvent *) {
    const QRect box = contentsRect();
    QTextLayout layout(laidOutText(text()), font());
    const double height = layOut(layout, box.width(), alignment()).height;
    double top = box.top();
    if (alignment() & Qt::AlignVCenter) top += (box.height() - height) / 2;
    else if (alignment() & Qt::AlignBottom) top += box.height() - height;
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    layout.draw(&painter, QPointF(box.left(), top));
}

}  // namespace ondrake
