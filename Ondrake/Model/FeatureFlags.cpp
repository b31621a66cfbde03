#include "Ondrake/Model/FeatureFlags.h"

#include "Ondrake/Model/Hashing.h"

#include <QProcessEnvironment>

#include <algorithm>

namespace ondrake {

namespace {

FeatureOverrides knownOnly(const FeatureOverrides &overrides) {
    FeatureOverrides known;
    for (const auto &[key, value] : overrides)
        if (FeatureFlag::isKnownKey(key)) known.emplace(key, value);
    return known;
}

}  // namespace

const std::vector<FeatureFlag> &FeatureFlag::all() {
    static const std::vector<FeatureFlag> flags = {
        {QStringLiteral("tabGroups"), QStringLiteral("Tab Groups"),
         QStringLiteral("Group tabs by hand. Ondrake’s own grouping; Safari has none to sync with."), false},
        {QStringLiteral("snoozeAndReminders"), QStringLiteral("Snooze & Reminders"),
         QStringLiteral("Hide a tab until later, or be reminded about it."), false},
        {QStringLiteral("pinnedTabs"), QStringLiteral("Pinned Tabs"),
         QStringLiteral("Keep tabs in a section at the top of the sidebar. Does not pin them in Safari."), true},
        {QStringLiteral("closedTabHistory"), QStringLiteral("Closed Tab History"),
         QStringLiteral("Remember metadata for closed tabs so reopening one restores it."), true},
        {QStringLiteral("autoNestLinkedTabs"), QStringLiteral("Auto-Nest Linked Tabs"),
         QStringLiteral("Move a tab opened by a website's own \"open in new tab\" button next to the tab it came "
                        "from, so it can be nested."),
         false},
        {QStringLiteral("immersiveMode"), QStringLiteral("Immersive Mode"),
         QStringLiteral("Cover Safari's tab row with an Ondrake breadcrumb bar. Needs Accessibility permission; "
                        "Safari's tabs are unchanged underneath."),
         false},
    };
    return flags;
}

const FeatureFlag &FeatureFlag::tabGroups() { return all()[0]; }
const FeatureFlag &FeatureFlag::snoozeAndReminders() { return all()[1]; }
const FeatureFlag &FeatureFlag::pinnedTabs() { return all()[2]; }
const FeatureFlag &FeatureFlag::closedTabHistory() { return all()[3]; }
const FeatureFlag &FeatureFlag::autoNestLinkedTabs() { return all()[4]; }
const FeatureFlag &FeatureFlag::immersiveMode() { return all()[5]; }

bool FeatureFlag::isKnownKey(const QString &key) {
    const auto &flags = all();
    return std::any_of(flags.begin(), flags.end(), [&](const FeatureFlag &flag) { return flag.key == key; });
}

std::size_t qHash(const FeatureFlag &flag, std::size_t seed) noexcept {
    return Hasher(seed).add(flag.key).add(flag.title).add(flag.summary).add(flag.defaultValue).value();
}

FeatureFlags::FeatureFlags(const FeatureOverrides &overrides, Environment environment)
    : overrides_(knownOnly(overrides)), environment_(std::move(environment)) {}

Environment FeatureFlags::processEnvironment() {
    Environment environment;
    const QProcessEnvironment process = QProcessEnvironment::systemEnvironment();
    for (const QString &name : process.keys()) environment.emplace(name, process.value(name));
    return environment;
}

QString FeatureFlags::environmentVariable(const FeatureFlag &flag) {
    return QStringLiteral("ONDRAKE_FEATURE_") + flag.key.toUpper();
}

std::optional<bool> FeatureFlags::environmentValue(const FeatureFlag &flag) const {
    const auto it = environment_.find(environmentVariable(flag));
    if (it == environment_.end()) return std::nullopt;
    const QString value = it->second.toLower();
    if (value == u"1" || value == u"true" || value == u"yes" || value == u"on") return true;
    if (value == u"0" || value == u"false" || value == u"no" || value == u"off") return false;
    return std::nullopt;
}

bool FeatureFlags::isEnabled(const FeatureFlag &flag) const {
    if (const auto forced = environmentValue(flag)) return *forced;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = overrides_.find(flag.key); it != overrides_.end()) return it->second;
    }
    return flag.defaultValue;
}

void FeatureFlags::setOverride(std::optional<bool> value, const FeatureFlag &flag) {
    FeatureOverrides copy;
    {
        std::lock_guard lock(mutex_);
        if (value) overrides_.insert_or_assign(flag.key, *value);
        else overrides_.erase(flag.key);
        copy = overrides_;
    }
    notify(copy);
}

void FeatureFlags::replaceOverrides(const FeatureOverrides &overrides) {
    FeatureOverrides filtered = knownOnly(overrides);
    {
        std::lock_guard lock(mutex_);
        overrides_ = filtered;
    }
    notify(filtered);
}

FeatureOverrides FeatureFlags::overrides() const {
    std::lock_guard lock(mutex_);
    return overrides_;
}

void FeatureFlags::notify(const FeatureOverrides &overrides) const {
    if (onChange_) onChange_(overrides);
}

}  // namespace ondrake
