#include "Ondrake/Settings/AdvancedSettings.h"

#include "Ondrake/Settings/TunableScale.h"

#include "UserDefaults.h"

#include <QRegularExpression>

#include <algorithm>

namespace ondrake {

namespace {

// Case and diacritics do not count, whatever the locale.
QString folded(const QString &text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out.append(c);
    return out.toCaseFolded();
}

const AdvancedFlag::Option *optionWithRawValue(const AdvancedFlag::Options &options, const QString &rawValue) {
    const auto it = std::find_if(options.options.begin(), options.options.end(),
                                 [&](const AdvancedFlag::Option &o) { return o.rawValue == rawValue; });
    return it == options.options.end() ? nullptr : &*it;
}

}  // namespace

QStringList advancedQueryWords(const QString &query) {
    // Unicode white space too: a no-break space typed between two words still parts them.
    static const QRegularExpression whitespace(QStringLiteral("\\s+"), QRegularExpression::UseUnicodePropertiesOption);
    return query.split(whitespace, Qt::SkipEmptyParts);
}

bool advancedFlagMatches(const AdvancedFlag &flag, const QStringList &words) {
    QStringList terms = flag.searchTerms();
    for (QString &term : terms) term = folded(term);
    return std::all_of(words.begin(), words.end(), [&](const QString &word) {
        const QString needle = folded(word);
        return std::any_of(terms.begin(), terms.end(), [&](const QString &term) { return term.contains(needle); });
    });
}

std::vector<const AdvancedFlag *> listedAdvancedFlags(const QString &query) {
    const QStringList words = advancedQueryWords(query);
    std::vector<const AdvancedFlag *> listed;
    for (const AdvancedFlag &flag : AdvancedFlag::all())
        if (words.isEmpty() || advancedFlagMatches(flag, words)) listed.push_back(&flag);
    return listed;
}

QString advancedIntroText(bool immersiveModeEnabled) {
    if (immersiveModeEnabled)
        return QStringLiteral(
            "These change behaviour that has no single right answer, and some of it is unfinished. Every change takes "
            "effect immediately — nothing here needs a relaunch.");
    return QStringLiteral(
        "These change behaviour that has no single right answer. Immersive Mode is currently switched off, so the "
        "immersive flags below have no effect — turn it on in Features.");
}

QString advancedNoMatchText(const QString &query) {
    return QStringLiteral("No flags match “") + query + QStringLiteral("”.");
}

int modifiedAdvancedFlagCount(const UserDefaults &defaults) {
    const auto &all = AdvancedFlag::all();
    return int(std::count_if(all.begin(), all.end(), [&](const AdvancedFlag &f) { return f.isModified(defaults); }));
}

QString advancedFooterText(int modified, int total) {
    if (modified > 0) return QStringLiteral("%1 of %2 changed from default").arg(modified).arg(total);
    return QStringLiteral("%1 flags, all at their defaults").arg(total);
}

AdvancedFlagRow advancedFlagRow(const AdvancedFlag &flag, const UserDefaults &defaults) {
    AdvancedFlagRow row;
    row.flag = &flag;
    row.isModified = flag.isModified(defaults);
    row.resetHelp = QStringLiteral("Restore the default (") + advancedDefaultDescription(flag) + QStringLiteral(")");
    if (const auto *number = std::get_if<AdvancedFlag::Number>(&flag.kind)) {
        const TunableScale scale(*number);
        const double value = flag.numberValue(defaults);
        row.tick = scale.tick(value);
        row.maximumTick = scale.maximumTick();
        row.valueText = AdvancedFlag::format(number->unit, value);
    } else {
        const auto &options = std::get<AdvancedFlag::Options>(flag.kind);
        const auto *current = currentAdvancedOption(flag, defaults);
        row.selectedRawValue = current ? current->rawValue : options.defaultRawValue;
        if (current) row.optionSummary = current->summary;
    }
    return row;
}

std::vector<AdvancedOptionEntry> advancedOptionEntries(const AdvancedFlag &flag) {
    std::vector<AdvancedOptionEntry> entries;
    const auto *options = std::get_if<AdvancedFlag::Options>(&flag.kind);
    if (!options) return entries;
    for (const auto &option : options->options) {
        QString title = option.title;
        if (option.rawValue == options->defaultRawValue) title += QStringLiteral(" (Default)");
        entries.push_back({option.rawValue, title});
    }
    return entries;
}

const AdvancedFlag::Option *currentAdvancedOption(const AdvancedFlag &flag, const UserDefaults &defaults) {
    const auto *options = std::get_if<AdvancedFlag::Options>(&flag.kind);
    if (!options) return nullptr;
    if (const auto stored = defaults.stringForKey(flag.key))
        if (const auto *option = optionWithRawValue(*options, *stored)) return option;
    return optionWithRawValue(*options, options->defaultRawValue);
}

QString advancedDefaultDescription(const AdvancedFlag &flag) {
    if (const auto *number = std::get_if<AdvancedFlag::Number>(&flag.kind))
        return AdvancedFlag::format(number->unit, number->defaultValue);
    const auto &options = std::get<AdvancedFlag::Options>(flag.kind);
    const auto *option = optionWithRawValue(options, options.defaultRawValue);
    return option ? option->title : options.defaultRawValue;
}

void chooseAdvancedOption(const AdvancedFlag &flag, const QString &rawValue, UserDefaults &defaults) {
    const auto *options = std::get_if<AdvancedFlag::Options>(&flag.kind);
    if (!options) return;
    if (rawValue == options->defaultRawValue) defaults.removeObject(flag.key);
    else defaults.setString(flag.key, rawValue);
}

void setAdvancedNumberTick(const AdvancedFlag &flag, int tick, UserDefaults &defaults) {
    const auto *number = std::get_if<AdvancedFlag::Number>(&flag.kind);
    if (!number) return;
    const TunableScale scale(*number);
    // Positions, not doubles, decide whether this is the default.
    if (std::clamp(tick, 0, scale.maximumTick()) == scale.defaultTick()) defaults.removeObject(flag.key);
    else defaults.setDouble(flag.key, scale.value(tick));
}

void resetAdvancedFlag(const AdvancedFlag &flag, UserDefaults &defaults) { defaults.removeObject(flag.key); }

void resetAllAdvancedFlags(UserDefaults &defaults) {
    for (const AdvancedFlag &flag : AdvancedFlag::all()) defaults.removeObject(flag.key);
}

}  // namespace ondrake
