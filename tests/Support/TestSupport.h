#pragma once

#include "Paths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ondrake::test {

// A fresh folder tree for one test, removed when the test ends.
class TemporaryPaths {
public:
    TemporaryPaths() : paths_(Paths::under(dir_.path())) { EXPECT_TRUE(dir_.isValid()); }
    const Paths &paths() const { return paths_; }
    QString root() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    Paths paths_;
};

}  // namespace ondrake::test
