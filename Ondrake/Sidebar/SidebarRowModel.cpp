#include "Ondrake/Sidebar/SidebarRowModel.h"

#include <QSize>

#include <algorithm>

namespace ondrake {

SidebarRowModel::SidebarRowModel(QObject *parent) : QAbstractListModel(parent) { tops_.push_back(0); }

int SidebarRowModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(content_.entries.size());
}

QVariant SidebarRowModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const SidebarListEntry &e = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (e.row) return e.row->tab().title;
        if (e.heading) return e.heading->title;
        return e.text;
    case Qt::AccessibleTextRole:
        if (e.row) return e.row->accessibilityLabel();
        if (e.heading) return e.heading->accessibilityLabel;
        return e.text;
    case Qt::AccessibleDescriptionRole:
        if (e.heading && !e.heading->accessibilityHint.isEmpty()) return e.heading->accessibilityHint;
        return {};
    case Qt::ToolTipRole:
        if (e.row) return e.row->helpText(content_.compact);
        if (e.heading && !e.heading->help.isEmpty()) return e.heading->help;
        return {};
    case Qt::SizeHintRole: return QSize(0, e.height());
    case TabIDRole:
        if (e.row) return e.row->tab().id;
        return {};
    case KeyRole: return e.key;
    case KindRole: return int(e.kind);
    default: return {};
    }
}

const SidebarListSection *SidebarRowModel::sectionOf(int row) const {
    if (row < 0 || row >= rowCount()) return nullptr;
    const int section = entry(row).section;
    if (section < 0 || section >= int(content_.sections.size())) return nullptr;
    return &content_.sections[std::size_t(section)];
}

int SidebarRowModel::rowOfTab(const QString &tabID) const {
    if (!rowByTab_) {
        auto &rows = rowByTab_.emplace();
        rows.reserve(qsizetype(content_.entries.size()));
        for (std::size_t i = 0; i < content_.entries.size(); ++i)
            if (content_.entries[i].row) rows.insert(content_.entries[i].row->tab().id, int(i));
    }
    return rowByTab_->value(tabID, -1);
}

int SidebarRowModel::rowAt(int y) const {
    if (y < 0 || y >= contentHeight()) return -1;
    const auto after = std::upper_bound(tops_.begin(), tops_.end(), y);
    return int(after - tops_.begin()) - 1;
}

int SidebarRowModel::bandAt(int y) const {
    const int row = rowAt(y);
    if (row < 0) return -1;
    const SidebarListEntry &e = entry(row);
    const int inside = y - top(row) - e.contentTop();
    return inside >= 0 && inside < e.content ? row : -1;
}

GroupFrames SidebarRowModel::groupFrames(int width) const {
    GroupFrames frames;
    for (const SidebarListSection &section : content_.sections) {
        if (section.kind != SidebarListSection::Kind::group || !section.group || section.endEntry <= section.firstEntry)
            continue;
        const int first = section.firstEntry;
        const int last = section.endEntry - 1;
        const int top = tops_[std::size_t(first)] + entry(first).lead;
        const int bottom = tops_[std::size_t(last)] + entry(last).height() - entry(last).trail;
        frames.emplace_back(section.group->group().id, QRectF(0, top, width, bottom - top));
    }
    return frames;
}

void SidebarRowModel::apply(SidebarListContent next) {
    auto &old = content_.entries;
    const auto &fresh = next.entries;

    // Rows that came or went lie between the longest runs of equal keys at both ends.
    std::size_t prefix = 0;
    while (prefix < old.size() && prefix < fresh.size() && old[prefix].isSameItem(fresh[prefix])) ++prefix;
    std::size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < fresh.size() - prefix
           && old[old.size() - 1 - suffix].isSameItem(fresh[fresh.size() - 1 - suffix]))
        ++suffix;

    bool geometry = false;
    const std::size_t removed = old.size() - prefix - suffix;
    const std::size_t inserted = fresh.size() - prefix - suffix;
    if (removed > 0) {
        beginRemoveRows({}, int(prefix), int(prefix + removed) - 1);
        old.erase(old.begin() + std::ptrdiff_t(prefix), old.begin() + std::ptrdiff_t(prefix + removed));
        recomputeGeometry();
        endRemoveRows();
        geometry = true;
    }
    if (inserted > 0) {
        beginInsertRows({}, int(prefix), int(prefix + inserted) - 1);
        old.insert(old.begin() + std::ptrdiff_t(prefix), std::make_move_iterator(next.entries.begin() + std::ptrdiff_t(prefix)),
                   std::make_move_iterator(next.entries.begin() + std::ptrdiff_t(prefix + inserted)));
        recomputeGeometry();
        endInsertRows();
        geometry = true;
    }

    // Same items now; signal the runs of the ones kept that differ. Inserted ones are new anyway.
    std::vector<std::pair<int, int>> changed;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (i == prefix && inserted > 0) i += inserted;
        if (i >= old.size()) break;
        // A section's place in the list is bookkeeping, not something shown: a section coming or
        // going above must not count as a change of every row below it.
        old[i].section = fresh[i].section;
        if (old[i] == fresh[i]) continue;
        geometry = geometry || old[i].height() != fresh[i].height();
        old[i] = std::move(next.entries[i]);
        if (!changed.empty() && changed.back().second == int(i) - 1) changed.back().second = int(i);
        else changed.emplace_back(int(i), int(i));
    }
    content_.form = next.form;
    content_.compact = next.compact;
    content_.sections = std::move(next.sections);
    content_.groups = std::move(next.groups);
    if (!changed.empty()) recomputeGeometry();
    for (const auto &[first, last] : changed) emit dataChanged(index(first), index(last));
    if (geometry) emit geometryChanged();
}

void SidebarRowModel::recomputeGeometry() {
    const auto &entries = content_.entries;
    tops_.assign(entries.size() + 1, 0);
    rowByTab_.reset();
    int y = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        tops_[i] = y;
        y += entries[i].height();
    }
    tops_[entries.size()] = y;
}

}  // namespace ondrake
