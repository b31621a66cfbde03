#pragma once

#include <QHashFunctions>

#include <cstddef>
#include <optional>

namespace ondrake {

// Folds values into one hash in order. An optional contributes its presence, then its value.
class Hasher {
public:
    explicit Hasher(std::size_t seed = 0) : value_(seed) {}

    template<typename T>
    Hasher &add(const T &v) {
        using ::qHash;  // Qt's overloads for built-in types, beside ours found by argument lookup
        return mix(qHash(v, 0));
    }

    template<typename T>
    Hasher &add(const std::optional<T> &v) {
        add(v.has_value());
        if (v) add(*v);
        return *this;
    }

    Hasher &mix(std::size_t h) {
        value_ ^= h + 0x9e3779b97f4a7c15ULL + (value_ << 6) + (value_ >> 2);
        return *this;
    }

    std::size_t value() const { return value_; }

private:
    std::size_t value_;
};

}  // namespace ondrake
