#pragma once

#include <QColor>
#include <QString>

#include <array>
#include <optional>

class QPainter;
class QRectF;

namespace ondrake {

struct TabGroup;

// The colours a group can have; stored in the group as the raw value.
enum class TabGroupColorName { gray, red, orange, yellow, green, mint, blue, purple, pink };

inline constexpr std::array<TabGroupColorName, 9> kAllTabGroupColorNames = {
    TabGroupColorName::gray,  TabGroupColorName::red,  TabGroupColorName::orange,
    TabGroupColorName::yellow, TabGroupColorName::green, TabGroupColorName::mint,
    TabGroupColorName::blue,  TabGroupColorName::purple, TabGroupColorName::pink,
};

QString toString(TabGroupColorName name);  // the raw value, "gray" ... "pink"
// Exact, case-sensitive match of a raw value.
std::optional<TabGroupColorName> tabGroupColorNameFromString(QStringView text);
QString displayName(TabGroupColorName name);  // "Gray" ... "Pink"
QColor drawingColor(TabGroupColorName name);

// The group's colour name, gray when it has none or one that is not a raw value.
TabGroupColorName colorName(const TabGroup &group);
QColor groupColor(const TabGroup &group);

// A group's colour as a filled circle.
struct TabGroupColorDot {
    QColor color;
    double diameter = 8;

    // Centred in `frame`.
    void paint(QPainter &painter, const QRectF &frame) const;
};

}  // namespace ondrake
