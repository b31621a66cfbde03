#include "Ondrake/Sidebar/TabGroupColorName.h"

#include "Ondrake/Model/TabGroup.h"

#include <QPainter>

namespace ondrake {

namespace {

struct ColorInfo {
    const char *rawValue;
    const char *displayName;
    QRgb color;
};

// Indexed by the enumeration's order. The platform's system hues, as this system draws them.
constexpr std::array<ColorInfo, kAllTabGroupColorNames.size()> kColors = {{
    {"gray", "Gray", qRgb(142, 142, 147)},
    {"red", "Red", qRgb(238, 64, 56)},
    {"orange", "Orange", qRgb(247, 145, 20)},
    {"yellow", "Yellow", qRgb(245, 200, 20)},
    {"green", "Green", qRgb(60, 190, 90)},
    {"mint", "Mint", qRgb(40, 196, 190)},
    {"blue", "Blue", qRgb(30, 124, 246)},
    {"purple", "Purple", qRgb(168, 88, 220)},
    {"pink", "Pink", qRgb(246, 60, 96)},
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

QString displayName(TabGroupColorName name) { return QString::fromLatin1(info(name).displayName); }

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
