#pragma once

#include "Browser/BrowserCapabilities.h"

#include <QString>

#include <vector>

namespace ondrake {

// What a tab command did, in place of an error.
struct CommandOutcome {
    struct Refusal {
        enum class Kind { featureDisabled, tabIsLocked, noSuchRecord, nothingToDo, unsafeAddress };
        Kind kind = Kind::nothingToDo;
        QString featureKey;  // featureDisabled only

        static Refusal featureDisabled(QString key) { return {Kind::featureDisabled, std::move(key)}; }
        static Refusal tabIsLocked() { return {Kind::tabIsLocked, {}}; }
        static Refusal noSuchRecord() { return {Kind::noSuchRecord, {}}; }
        static Refusal nothingToDo() { return {Kind::nothingToDo, {}}; }
        // A stored address that is not opened from a file (see isSafeToOpen).
        static Refusal unsafeAddress() { return {Kind::unsafeAddress, {}}; }
        bool operator==(const Refusal &) const = default;
    };

    enum class Kind { refused, unavailable, applied, appliedLocally };
    Kind kind = Kind::applied;
    Refusal refusal;                   // refused only
    BrowserCapabilities missing;       // unavailable only

    static CommandOutcome refused(Refusal why) { return {Kind::refused, std::move(why), {}}; }
    static CommandOutcome unavailable(BrowserCapabilities missing) { return {Kind::unavailable, {}, missing}; }
    static CommandOutcome applied() { return {Kind::applied, {}, {}}; }
    static CommandOutcome appliedLocally() { return {Kind::appliedLocally, {}, {}}; }

    // The first of the worst: unavailable, then refused, appliedLocally, applied. Nothing at all
    // was nothing to do.
    static CommandOutcome combined(const std::vector<CommandOutcome> &outcomes);

    QString description() const;
    bool operator==(const CommandOutcome &) const = default;
};

}  // namespace ondrake
