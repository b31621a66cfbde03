#pragma once

#include <QtGlobal>

#include <string>

namespace ondrake::test {

// The seed of a randomised run: its own, or one drawn from ONDRAKE_TEST_SEED when that is set,
// so that other seeds can be tried without a rebuild. Each run mixes in its own seed, so runs
// that share the variable still differ.
inline unsigned testSeed(unsigned own) {
    bool ok = false;
    const auto given = qEnvironmentVariable("ONDRAKE_TEST_SEED").toUInt(&ok);
    if (!ok) return own;
    return given * 2654435761u ^ own;
}

// How to run a seed again, for the failures of a run.
inline std::string seedNote(unsigned seed) {
    const auto given = qEnvironmentVariable("ONDRAKE_TEST_SEED");
    return "seed " + std::to_string(seed) +
           (given.isEmpty() ? std::string(" (ONDRAKE_TEST_SEED picks others)") : " (from ONDRAKE_TEST_SEED=" + given.toStdString() + ")");
}

}  // namespace ondrake::test
