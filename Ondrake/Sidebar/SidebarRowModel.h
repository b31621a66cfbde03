#pragma once

#include "Ondrake/Sidebar/SidebarListContent.h"

#include <QAbstractListModel>
#include <QHash>

#include <optional>
#include <vector>

namespace ondrake {

// The one flat model behind the tab list: headings, rows, hints and messages of every section,
// top to bottom. Applying new content changes only what differs: identical content signals
// nothing, a changed row signals only itself, and rows that came or went are inserted or removed
// around the unchanged ones.
class SidebarRowModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        TabIDRole = Qt::UserRole + 1,  // the session tab id of a tab row
        KeyRole,                       // the entry's key; with its kind, its identity
        KindRole,                      // SidebarListEntry::Kind
    };

    explicit SidebarRowModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    void apply(SidebarListContent content);

    const SidebarListContent &content() const { return content_; }
    const SidebarListEntry &entry(int row) const { return content_.entries[std::size_t(row)]; }
    const SidebarListSection *sectionOf(int row) const;
    // The entry's top in the list's content, from the top of the first entry.
    int top(int row) const { return tops_[std::size_t(row)]; }
    int contentHeight() const { return tops_.empty() ? 0 : tops_.back(); }
    // The entry of the tab's row; -1 when the tab has no row.
    int rowOfTab(const QString &tabID) const;
    // The entry at a y in content coordinates; -1 outside every entry.
    int rowAt(int y) const;
    // The entry whose own band (its content, without the spacing and padding around it) holds
    // a y in content coordinates; -1 between the bands.
    int bandAt(int y) const;
    // The tinted frame of each group section, top to bottom, spanning `width`.
    GroupFrames groupFrames(int width) const;

signals:
    // Some entry's height changed; the view lays out again.
    void geometryChanged();

private:
    void recomputeGeometry();

    SidebarListContent content_;
    std::vector<int> tops_;  // one more than the entries: the last is the total height
    // Made on the first look-up after a change: a keystroke replaces thousands of rows and
    // often looks none up.
    mutable std::optional<QHash<TextKey, int>> rowByTab_;
};

}  // namespace ondrake
