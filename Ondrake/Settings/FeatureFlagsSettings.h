#pragma once

#include "Ondrake/Model/FeatureFlags.h"

#include <vector>

namespace ondrake {

// One switch of the Features pane as it stands now.
struct FeatureFlagRow {
    FeatureFlag flag;
    bool isOn = false;
    bool isForced = false;  // by the environment, for this launch; the switch cannot change it
    QString description;

    bool operator==(const FeatureFlagRow &) const = default;
};

// Every flag in table order, read afresh.
std::vector<FeatureFlagRow> featureFlagRows(const FeatureFlags &flags);
// The summary, and for a forced flag why it cannot be switched.
QString featureFlagDescription(const FeatureFlags &flags, const FeatureFlag &flag);
// Records the user's choice as an override, also when it equals the default. A forced flag keeps
// its state and gets no override.
void setFeatureFlag(FeatureFlags &flags, const FeatureFlag &flag, bool on);

}  // namespace ondrake
