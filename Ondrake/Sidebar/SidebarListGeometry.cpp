#include "Ondrake/Sidebar/SidebarListGeometry.h"

#include <cmath>

namespace ondrake {

QRectF SidebarListGeometry::entryRect(int entry) const {
    if (entry < 0 || entry >= model_.rowCount()) return {};
    return QRectF(0, model_.top(entry), width_, model_.entry(entry).height());
}

QRectF SidebarListGeometry::band(int entry) const {
    if (entry < 0 || entry >= model_.rowCount()) return {};
    const SidebarListEntry &e = model_.entry(entry);
    return QRectF(0, model_.top(entry) + e.contentTop(), width_, e.content);
}

int SidebarListGeometry::entryAt(QPointF point) const {
    if (point.x() < 0 || point.x() >= width_) return -1;
    return model_.bandAt(int(std::floor(point.y())));
}

std::optional<QString> SidebarListGeometry::tabAt(QPointF point) const {
    const int entry = entryAt(point);
    if (entry < 0 || !model_.entry(entry).row) return std::nullopt;
    return model_.entry(entry).row->tab().id;
}

TabRowGeometry SidebarListGeometry::rowGeometry(int entry, bool hovered) const {
    const TabRow &row = *model_.entry(entry).row;
    return row.geometry(band(entry), style_.compact, hovered, SidebarRowDelegate::hiddenCountWidth(row, style_));
}

std::optional<SidebarListGeometry::Hit> SidebarListGeometry::hitAt(QPointF point) const {
    const int entry = entryAt(point);
    if (entry < 0) return std::nullopt;
    if (!model_.entry(entry).row) return Hit{entry, Part::heading};
    const TabRowGeometry g = rowGeometry(entry, true);
    if (!g.closeButton.isEmpty() && g.closeButton.contains(point)) return Hit{entry, Part::close};
    if (!g.chevron.isEmpty() && g.chevron.contains(point)) return Hit{entry, Part::chevron};
    return Hit{entry, Part::row};
}

QString SidebarListGeometry::helpAt(QPointF point) const {
    const int entry = entryAt(point);
    if (entry < 0) return {};
    const SidebarListEntry &e = model_.entry(entry);
    if (e.heading) return e.heading->help;
    if (!e.row) return {};
    const TabRowGeometry g = rowGeometry(entry, true);
    const auto badges = e.row->badges();
    for (std::size_t i = 0; i < badges.size() && i < g.badges.size(); ++i)
        if (g.badges[i].contains(point) && !badges[i].help.isEmpty()) return badges[i].help;
    if (!g.closeButton.isEmpty() && g.closeButton.contains(point)) return TabRow::closeHelp();
    if (!g.chevron.isEmpty() && g.chevron.contains(point)) return e.row->chevronHelp();
    return e.row->helpText(style_.compact);
}

}  // namespace ondrake
