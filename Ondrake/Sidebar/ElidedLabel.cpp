#include "Ondrake/Sidebar/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace ondrake {

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, contentsRect().width()));
}

QSize ElidedLabel::minimumSizeHint() const { return QSize(0, QLabel::minimumSizeHint().height()); }

void ElidedLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

}  // namespace ondrake
