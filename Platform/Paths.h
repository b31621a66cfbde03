#pragma once

#include <QString>

namespace ondrake {

// The folders the system reads and writes. A value: tests build one under a temporary folder.
struct Paths {
    QString applicationSupport;  // per-user data, not the bundle folder
    QString caches;
    QString preferences;  // where user-defaults domains are kept
    QString temporary;
    QString home;  // the user's real home, from the password database

    // The user's folders from Qt's standard locations. `home` is the real home folder unless the
    // environment names one in kTestRealHomeVariable.
    static Paths system();
    // Every folder under one root, for tests.
    static Paths under(const QString &root);

    bool operator==(const Paths &) const = default;
};

// Lets a test that starts one of the programs as a child process give it a temporary real home;
// the password database cannot be pointed elsewhere. Unset in normal use.
inline constexpr const char *kTestRealHomeVariable = "ONDRAKE_TEST_REAL_HOME";

// The home folder of the current user as the password database has it (not $HOME); empty when
// the database has no entry for the user.
QString realHomeFolder();

}  // namespace ondrake
