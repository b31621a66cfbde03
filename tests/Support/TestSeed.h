#pragma once

#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace ondrake::test {

// The seed of a randomised run: ONDRAKE_TEST_SEED when it is set, so that a run can be tried on
// other seeds and a failure found there replayed, else the run's own. Every failure in its scope
// names it.
class Seed {
public:
    explicit Seed(std::uint32_t own) : value_(fromEnvironment(own)), trace_(__FILE__, __LINE__, describe(value_)) {}

    std::uint32_t value() const { return value_; }

private:
    static std::uint32_t fromEnvironment(std::uint32_t own) {
        bool ok = false;
        const auto set = qEnvironmentVariable("ONDRAKE_TEST_SEED").toUInt(&ok);
        return ok ? std::uint32_t(set) : own;
    }
    static std::string describe(std::uint32_t value) { return "ONDRAKE_TEST_SEED=" + std::to_string(value); }

    std::uint32_t value_;
    testing::ScopedTrace trace_;
};

}  // namespace ondrake::test
