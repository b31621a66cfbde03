#include "Store/SidebarViewMode.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

TEST(SidebarViewMode, RawValuesRoundTrip) {
    QStringList names;
    for (const auto mode : kAllSidebarViewModes) {
        names << toString(mode);
        EXPECT_EQ(sidebarViewModeFromString(toString(mode)), mode);
    }
    EXPECT_EQ(names, (QStringList{"tree", "age", "domain", "group"}));
    for (const char16_t *text : {u"", u"Tree", u"flat", u" age"})
        EXPECT_EQ(sidebarViewModeFromString(QStringView(text)), std::nullopt);
}

}  // namespace
