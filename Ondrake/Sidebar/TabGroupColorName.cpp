#include "Ondrake/Sidebar/TabGroupColorName.h"

#include "Ondrake/Model/TabGroup.h"

#include <QPainter>

namespace ondrake {

namespace {

struct ColorInfo {
    const char *rawValue;
    QRgb color;
};

// Indexed by the enumeration's order. The platform's system hues, as this system draws them.
constexpr std::array<ColorInfo, kAllTabGroupColorNames.size()> kColors = {{
    {"gray", qRgb(142, 142, 147)},
    {"red", qRgb(238, 64, 56)},
    {"orange", qRgb(247, 145, 20)},
    {"yellow", qRgb(245, 200, 20)},
    {"green", qRgb(60, 190, 90)},
    {"mint", qRgb(40, 196, 190)},
    {"blue", qRgb(30, 124, 246)},
    {"purple", qRgb(168, 88, 220)},
    {"pink", qRgb(246, 60, 96)},
}};

const ColorInfo &info(TabGroupColorName name) { return kColors[std::size_t(name)]; }

}  // namespace

QString toString(TabGroupColorName name) { return QString::fromLatin1(info(name).rawValue); }

std::optional<TabGroupColorName> tabGroupColorNameFromString(QStringView text) {
    for (const TabGroupColorName name : kAllTabGroupColorNames) {
        if (text == QLatin1String(info(name).rawValue)) return name;
    }
    return std::nullopt;
}

QString displayName(TabGroupColorName name) {
    QString text = toString(name);
    text[0] = text[0].toUpper();
    return text;
}

QColor drawingColor(TabGroupColorName name) { return QColor::fromRgb(info(name).color); }

TabGroupColorName colorName(const TabGroup &group) {
    if (!group.colorName) return TabGroupColorName::gray;
    return tabGroupColorNameFromString(*group.colorName).value_or(TabGroupColorName::gray);
}

QColor groupColor(const TabGroup &group) { return drawingColor(colorName(group)); }

void TabGroupColorDot::paint(QPainter &painter, const QRectF &frame) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(frame.center(), diameter / 2, diameter / 2);
    painter.restore();
}

}  // namespace ondrake
