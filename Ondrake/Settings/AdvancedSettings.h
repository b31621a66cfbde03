#pragma once

#include "Ondrake/Model/AdvancedFlag.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace ondrake {

class UserDefaults;

// One tunable of the Advanced pane as the user defaults hold it now.
struct AdvancedFlagRow {
    const AdvancedFlag *flag = nullptr;
    bool isModified = false;
    QString resetHelp;  // "Restore the default (…)"

    // A number tunable: the slider's position and the value in its unit.
    int tick = 0;
    int maximumTick = 0;
    QString valueText;

    // An options tunable: the picker's selection and the summary of the current option, if any.
    QString selectedRawValue;
    std::optional<QString> optionSummary;
};

struct AdvancedOptionEntry {
    QString rawValue;
    QString title;  // " (Default)" appended to the default's
    bool operator==(const AdvancedOptionEntry &) const = default;
};

// The query's words: split at white space, empty pieces dropped.
QStringList advancedQueryWords(const QString &query);
// Every word occurs, ignoring case and diacritics, in one of the flag's search terms.
bool advancedFlagMatches(const AdvancedFlag &flag, const QStringList &words);
// The flags the query lists, in table order; all of them for a query without words.
std::vector<const AdvancedFlag *> listedAdvancedFlags(const QString &query);

QString advancedIntroText(bool immersiveModeEnabled);
QString advancedNoMatchText(const QString &query);
int modifiedAdvancedFlagCount(const UserDefaults &defaults);
QString advancedFooterText(int modified, int total);

AdvancedFlagRow advancedFlagRow(const AdvancedFlag &flag, const UserDefaults &defaults);
std::vector<AdvancedOptionEntry> advancedOptionEntries(const AdvancedFlag &flag);
// The option whose raw value is stored; else the default option; none if the table has neither.
const AdvancedFlag::Option *currentAdvancedOption(const AdvancedFlag &flag, const UserDefaults &defaults);
// The default in the words the pane shows it: a number in its unit, an option by its title.
QString advancedDefaultDescription(const AdvancedFlag &flag);

// Writes never keep the default: choosing it removes the key.
void chooseAdvancedOption(const AdvancedFlag &flag, const QString &rawValue, UserDefaults &defaults);
void setAdvancedNumberTick(const AdvancedFlag &flag, int tick, UserDefaults &defaults);
void resetAdvancedFlag(const AdvancedFlag &flag, UserDefaults &defaults);
// Every flag of the table, listed or not.
void resetAllAdvancedFlags(UserDefaults &defaults);

}  // namespace ondrake
