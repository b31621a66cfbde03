#include "Ondrake/Settings/FeatureFlagsSettings.h"

namespace ondrake {

std::vector<FeatureFlagRow> featureFlagRows(const FeatureFlags &flags) {
    std::vector<FeatureFlagRow> rows;
    for (const FeatureFlag &flag : FeatureFlag::all())
        rows.push_back({flag, flags.isEnabled(flag), flags.environmentValue(flag).has_value(),
                        featureFlagDescription(flags, flag)});
    return rows;
}

QString featureFlagDescription(const FeatureFlags &flags, const FeatureFlag &flag) {
    if (!flags.environmentValue(flag)) return flag.summary;
    return flag.summary + QStringLiteral(" Forced ") + (flags.isEnabled(flag) ? QStringLiteral("on") : QStringLiteral("off"))
           + QStringLiteral(" by an environment variable for this launch.");
}

void setFeatureFlag(FeatureFlags &flags, const FeatureFlag &flag, bool on) {
    if (flags.environmentValue(flag)) return;
    flags.setOverride(on, flag);
}

}  // namespace ondrake
