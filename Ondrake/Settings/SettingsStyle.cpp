#include "Ondrake/Settings/SettingsStyle.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>

namespace ondrake::settings_style {

QFont font(const QWidget *reference, int pixelSize, QFont::Weight weight, bool monospace) {
    QFont f = monospace ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : reference->font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QLabel *note(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setFont(font(label, 11));
    makeSecondary(label);
    return label;
}

void makeSecondary(QWidget *widget) { widget->setForegroundRole(QPalette::PlaceholderText); }

QFrame *divider(QWidget *parent) {
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

}  // namespace ondrake::settings_style
