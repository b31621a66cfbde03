#pragma once

#include "TextHash.h"

#include <QHash>

#include <initializer_list>
#include <utility>

namespace ondrake {

// A table keyed by text whose copies share it until one of them is written to, as Qt's
// containers do: a store hands it to every reader without copying it, and a reader tells an
// unchanged one at a glance.
template<typename V>
class SharedTextMap {
public:
    SharedTextMap() = default;
    SharedTextMap(std::initializer_list<std::pair<QString, V>> entries) {
        for (const auto &[key, value] : entries) table_.insert(key, value);
    }

    // The value under the key, or null.
    const V *find(const QString &key) const {
        const auto found = table_.constFind(TextKey(key));
        return found == table_.cend() ? nullptr : &*found;
    }
    bool contains(const QString &key) const { return table_.contains(TextKey(key)); }
    // A default-made value when the key has none, as with Qt's tables.
    V value(const QString &key) const { return table_.value(TextKey(key)); }
    qsizetype size() const { return table_.size(); }
    bool isEmpty() const { return table_.isEmpty(); }
    // Pairs of the key, which stands for its text, and the value.
    auto begin() const { return table_.constKeyValueBegin(); }
    auto end() const { return table_.constKeyValueEnd(); }

    void reserve(qsizetype count) { table_.reserve(count); }
    void insert(const QString &key, const V &value) { table_.insert(TextKey(key), value); }
    // Whether there was an entry.
    bool remove(const QString &key) { return table_.remove(TextKey(key)); }
    void clear() { table_.clear(); }

    bool isSharedWith(const SharedTextMap &other) const { return table_.isSharedWith(other.table_); }
    friend bool operator==(const SharedTextMap &a, const SharedTextMap &b) { return a.table_ == b.table_; }

private:
    QHash<TextKey, V> table_;
};

}  // namespace ondrake
