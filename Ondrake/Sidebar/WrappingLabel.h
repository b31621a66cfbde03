#pragma once

#include <QLabel>

namespace ondrake {

// Centred plain text that wraps at word boundaries and breaks a word only where it is longer
// than a line, so a message is never cut however narrow the sidebar gets. It asks for no width
// of its own: the text takes the lines the width gives it.
class WrappingLabel : public QLabel {
    Q_OBJECT
public:
    explicit WrappingLabel(QWidget *parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The lines the text takes at that width, margins included.
    int lineCount(int width) const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

}  // namespace ondrake
