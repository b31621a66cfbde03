#pragma once

#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

namespace ondrake {

class UserDefaults;

// One tuning value kept in the user defaults, with what the settings window needs to show it.
struct AdvancedFlag {
    // Milliseconds are stored as seconds and percent as fractions; the unit only governs display.
    enum class Unit { milliseconds, hertz, percent, points };

    struct Option {
        QString rawValue{};  // the stored string
        QString title{};
        QString summary{};
        bool operator==(const Option &) const = default;
    };

    // The value is one of the options' raw values.
    struct Options {
        QString defaultRawValue{};
        std::vector<Option> options{};
        bool operator==(const Options &) const = default;
    };

    // The value is a double within [lowerBound, upperBound].
    struct Number {
        double defaultValue = 0;
        double lowerBound = 0;
        double upperBound = 0;
        double step = 0;
        Unit unit = Unit::points;
        bool operator==(const Number &) const = default;
    };

    using Kind = std::variant<Options, Number>;

    QString key{};  // the user-defaults key
    QString name{};  // dotted, lower case
    QString title{};
    QString summary{};
    Kind kind;

    bool operator==(const AdvancedFlag &) const = default;

    // The eight tunables, in the order the settings window lists them.
    static const std::vector<AdvancedFlag> &all();

    // The stored number clamped into range; the default when nothing (finite) is stored.
    // Always 0 for an options flag.
    double numberValue(const UserDefaults &defaults) const;
    // Whether the effective value differs from the default. An unrecognised option counts as
    // unmodified, as does a number that clamps to the default.
    bool isModified(const UserDefaults &defaults) const;
    // Texts the settings window filters rows by; never the key or the raw values.
    QStringList searchTerms() const;

    // "120 ms", "30 Hz", "100%", "8 pt".
    static QString format(Unit unit, double value);
};

}  // namespace ondrake
