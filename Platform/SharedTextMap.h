#pragma once

#include "TextHash.h"

#include <QtGlobal>

#include <initializer_list>
#include <memory>

namespace ondrake {

// A table keyed by text whose copies share it until one of them is written to, as Qt's
// containers do: a store hands it to every reader without copying it, and a reader tells an
// unchanged one at a glance.
template<typename V>
class SharedTextMap {
public:
    using Table = TextMap<V>;

    SharedTextMap() = default;
    SharedTextMap(std::initializer_list<typename Table::value_type> entries) : table_(std::make_shared<Table>(entries)) {}

    // The value under the key, or null.
    const V *find(QStringView key) const {
        if (!table_) return nullptr;
        const auto found = table_->find(key);
        return found == table_->end() ? nullptr : &found->second;
    }
    const V *find(const QString &key) const { return find(QStringView(key)); }
    bool contains(QStringView key) const { return find(key) != nullptr; }
    bool contains(const QString &key) const { return find(key) != nullptr; }
    // A default-made value when the key has none, as with Qt's tables.
    V value(QStringView key) const {
        const V *found = find(key);
        return found ? *found : V();
    }
    V value(const QString &key) const { return value(QStringView(key)); }
    qsizetype size() const { return table_ ? qsizetype(table_->size()) : 0; }
    bool isEmpty() const { return size() == 0; }
    typename Table::const_iterator begin() const { return table().begin(); }
    typename Table::const_iterator end() const { return table().end(); }

    void reserve(qsizetype count) { writable().reserve(std::size_t(count)); }
    void insert(const QString &key, const V &value) { writable().insert_or_assign(key, value); }
    // Whether there was an entry.
    bool remove(const QString &key) { return contains(key) && writable().erase(key) != 0; }
    void clear() { table_.reset(); }

    bool isSharedWith(const SharedTextMap &other) const { return table_ == other.table_; }
    friend bool operator==(const SharedTextMap &a, const SharedTextMap &b) {
        return a.isSharedWith(b) || a.table() == b.table();
    }

private:
    const Table &table() const {
        static const Table none;
        return table_ ? *table_ : none;
    }
    Table &writable() {
        if (!table_)
            table_ = std::make_shared<Table>();
        else if (table_.use_count() > 1)
            table_ = std::make_shared<Table>(*table_);
        return *table_;
    }

    std::shared_ptr<Table> table_;  // null while empty
};

}  // namespace ondrake
