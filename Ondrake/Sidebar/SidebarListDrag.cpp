#include "Ondrake/Sidebar/SidebarListDrag.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

namespace {
const SidebarListSection *sectionKeyed(const SidebarListContent &content, const QString &key) {
    const auto found = std::find_if(content.sections.begin(), content.sections.end(),
                                    [&](const SidebarListSection &section) { return section.key == key; });
    return found == content.sections.end() ? nullptr : &*found;
}
}  // namespace

std::optional<SidebarListDrag> SidebarListDrag::begin(const SidebarRowModel &model, int entry, QPointF start,
                                                      QPointF point) {
    const QPointF travel = point - start;
    if (std::hypot(travel.x(), travel.y()) < kThreshold) return std::nullopt;
    if (entry < 0 || entry >= model.rowCount() || !model.entry(entry).row) return std::nullopt;
    const SidebarListSection *section = model.sectionOf(entry);
    if (!section || section->kind == SidebarListSection::Kind::mode || section->kind == SidebarListSection::Kind::search)
        return std::nullopt;
    const SafariTab &tab = model.entry(entry).row->tab();
    return SidebarListDrag{tab.id, tab, section->key, start, {}, std::nullopt, std::nullopt};
}

void SidebarListDrag::moveTo(QPointF point, const SidebarListContent &content,
                             const std::vector<SafariWindow> &browserWindows) {
    translation = QSizeF(point.x() - start.x(), point.y() - start.y());
    const SidebarListSection *section = sectionKeyed(content, sectionKey);
    if (!section) return;
    if (section->window) {
        const SafariWindowView &view = *section->window;
        const auto whole = std::find_if(browserWindows.begin(), browserWindows.end(),
                                        [&](const SafariWindow &w) { return w.safariID == view.window.safariID; });
        // A window the browser no longer has takes no move.
        window = view.dragChanged(tabID, translation, whole != browserWindows.end() ? *whole : SafariWindow{});
    }
    if (section->pinned) pinned = section->pinned->dragChanged(tabID, translation);
}

TabDragOutcome SidebarListDrag::drop(QPointF point, const SidebarListContent &content,
                                     const GroupFrames &groupFrames) const {
    const SidebarListSection *section = sectionKeyed(content, sectionKey);
    if (!section) return TabDragOutcome::none();
    if (section->window) return SafariWindowView::dragEnded(window, tabID, point, groupFrames);
    if (section->pinned) return PinnedTabsView::dragEnded(pinned, tabID, point, groupFrames);
    if (section->group) return GroupedTabsView::dragEnded(section->group->group().id, point, groupFrames);
    return TabDragOutcome::none();
}

SidebarListDrag::Overlay SidebarListDrag::overlay(const SidebarListGeometry &geometry) const {
    const SidebarRowModel &model = geometry.model();
    Overlay overlay;
    if (const int row = model.rowOfTab(tabID); row >= 0)
        overlay.liftedRow = geometry.band(row).translated(translation.width(), translation.height());
    if (pinned && pinned->wouldUnpin) overlay.liftedOpacity = kLiftedOpacity * 0.5;

    const SidebarListSection *section = sectionKeyed(model.content(), sectionKey);
    if (!section || !section->window || section->firstRowEntry < 0 || !window) return overlay;
    // Both lie where the section's first row begins, the way its rows are counted.
    const QPointF firstRow(0, geometry.band(section->firstRowEntry).top());
    if (window->wouldPin) {
        overlay.pinHint = firstRow + SafariWindowView::kPinHintOffset;
    } else if (window->plan) {
        const double indent = SafariWindowView::indicatorIndent(window->plan->depth, geometry.compact());
        overlay.indicator = QRectF(indent, firstRow.y() + SafariWindowView::indicatorY(*window->plan),
                                   std::max(0.0, geometry.width() - indent), 2);
    }
    return overlay;
}

}  // namespace ondrake
