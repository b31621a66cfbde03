#include "WindowCascade.h"

#include <gtest/gtest.h>

namespace ondrake {
namespace {

TEST(WindowCascade, ShortOfRoomTheWindowsShrinkFirstThenTheStepsThenTheRoomKeptFree) {
    const WindowCascade cascade{.room = {300, 28, 8, 8}, .step = {160, 64}, .preferredSize = {1040, 835},
                                .minimumSize = {480, 200}};
    struct Case {
        const char *name;
        QRectF area;
        QRectF first;  // the top left window; each next one stands `step` further
        QSizeF step;
    };
    const Case cases[] = {
        {"room for everything", {0, 0, 1920, 1080}, {300, 28, 1040, 835}, {160, 64}},
        {"smaller windows", {0, 0, 1366, 768}, {300, 28, 738, 604}, {160, 64}},
        {"smallest windows, shorter steps across", {0, 0, 1024, 768}, {300, 28, 480, 604}, {118, 64}},
        {"hardly any step across", {0, 0, 800, 600}, {300, 28, 480, 436}, {6, 64}},
        {"no step, and the room at the right, then at the left, given up", {0, 0, 700, 240}, {220, 28, 480, 200}, {0, 2}},
        {"narrower than the smallest window", {0, 0, 400, 150}, {0, 0, 400, 150}, {0, 0}},
        {"on whole points of an area between them, left of the origin", {-1366.5, 24.5, 1366.9, 743.5},
         {-1066, 53, 738, 579}, {160, 64}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto windows = cascade.windows(c.area, 3);
        ASSERT_EQ(windows.size(), 3u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(windows[std::size_t(i)], c.first.translated(i * c.step.width(), i * c.step.height())) << i;
    }
    EXPECT_TRUE(cascade.windows({0, 0, 1920, 1080}, 0).empty());
    EXPECT_EQ(cascade.windows({0, 0, 1920, 1080}, 1), std::vector{QRectF(300, 28, 1040, 835)}) << "one window, no step";
}

}  // namespace
}  // namespace ondrake
