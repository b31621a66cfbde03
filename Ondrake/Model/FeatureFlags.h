#pragma once

#include <QString>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace ondrake {

// One switchable feature of the sidebar.
struct FeatureFlag {
    QString key{};  // stable: used in storage and in the environment
    QString title{};
    QString summary{};
    bool defaultValue = false;

    bool operator==(const FeatureFlag &) const = default;

    // The six flags in their fixed order.
    static const std::vector<FeatureFlag> &all();
    static const FeatureFlag &tabGroups();
    static const FeatureFlag &snoozeAndReminders();
    static const FeatureFlag &pinnedTabs();
    static const FeatureFlag &closedTabHistory();
    static const FeatureFlag &autoNestLinkedTabs();
    static const FeatureFlag &immersiveMode();

    static bool isKnownKey(const QString &key);
};

std::size_t qHash(const FeatureFlag &flag, std::size_t seed = 0) noexcept;

// Stored overrides keyed by flag key.
using FeatureOverrides = std::map<QString, bool>;
// The process environment, variable name to value.
using Environment = std::map<QString, QString>;

// The live values of the feature flags, shared by everything that asks. A value comes from the
// environment captured at launch, else the user's override, else the default. Any thread may ask.
class FeatureFlags {
public:
    using ChangeHandler = std::function<void(const FeatureOverrides &)>;

    // Overrides for unknown keys are dropped.
    FeatureFlags(const FeatureOverrides &overrides, Environment environment);
    FeatureFlags(const FeatureFlags &) = delete;
    FeatureFlags &operator=(const FeatureFlags &) = delete;

    static Environment processEnvironment();
    // "ONDRAKE_FEATURE_" followed by the key in upper case.
    static QString environmentVariable(const FeatureFlag &flag);

    const Environment &environment() const { return environment_; }

    std::optional<bool> environmentValue(const FeatureFlag &flag) const;
    bool isEnabled(const FeatureFlag &flag) const;

    // None removes the override. Notifies on every call, even when nothing changed.
    void setOverride(std::optional<bool> value, const FeatureFlag &flag);
    void replaceOverrides(const FeatureOverrides &overrides);
    FeatureOverrides overrides() const;

    // Set once by the owner before sharing; called after each change, outside the lock, on the
    // thread that made the change.
    void setOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }

private:
    void notify(const FeatureOverrides &overrides) const;

    FeatureOverrides overrides_;  // guarded by mutex_
    const Environment environment_;
    mutable std::mutex mutex_;
    ChangeHandler onChange_;
};

}  // namespace ondrake
