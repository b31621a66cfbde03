#pragma once

#include <QFont>
#include <QString>

class QFrame;
class QLabel;
class QWidget;

namespace ondrake {

// Type and small pieces shared by the settings panes. Sizes are in device-independent pixels.
namespace settings_style {

inline constexpr int kPaneWidth = 380;

QFont font(const QWidget *reference, int pixelSize, QFont::Weight weight = QFont::Normal, bool monospace = false);
// Secondary text at 11 px that wraps onto as many lines as it needs.
QLabel *note(const QString &text, QWidget *parent = nullptr);
void makeSecondary(QWidget *widget);
QFrame *divider(QWidget *parent = nullptr);

}  // namespace settings_style

}  // namespace ondrake
