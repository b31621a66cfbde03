#pragma once

#include <QLabel>

namespace ondrake {

// One line of text that draws as much of itself as its width allows, cut with an ellipsis. The
// whole text stays its text and its size hint, so a layout that squeezed it once, while a
// neighbour came or went, gives it back its full width as soon as there is room again.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // What is drawn at the current width: the text, or its beginning and an ellipsis.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

}  // namespace ondrake
