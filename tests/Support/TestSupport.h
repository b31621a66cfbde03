#pragma once

#include "TemporaryFolder.h"

#include <gtest/gtest.h>

namespace ondrake::test {

// A fresh folder tree for one test, removed when the test ends.
class TemporaryPaths : public TemporaryFolder {
public:
    TemporaryPaths() { EXPECT_TRUE(isValid()); }
};

}  // namespace ondrake::test
