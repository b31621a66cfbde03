#include "Log.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

TEST(LogFormat, RendersTheSystemLogFormats) {
    struct Case {
        const char *format;
        std::vector<LogArg> args;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"Loaded %{public}ld record(s): %{public}s", {12, QStringLiteral("loaded")}, "Loaded 12 record(s): loaded"},
        {"Fetching %{private}s", {QStringLiteral("example.com")}, "Fetching <private>"},
        {"Text %s is private by default", {QStringLiteral("secret")}, "Text <private> is private by default"},
        {"Count %ld is public by default", {3}, "Count 3 is public by default"},
        {"Trusted: %{bool,public}d", {true}, "Trusted: true"},
        {"Trusted: %{bool,public}d", {false}, "Trusted: false"},
        {"Private number %{private}ld", {5}, "Private number <private>"},
        {"Rate %.2f Hz, %d%%", {29.996, 7}, "Rate 30.00 Hz, 7%"},
        {"Missing %{public}s", {}, "Missing "},
        {"Object %{public}@", {QStringLiteral("tab-3")}, "Object tab-3"},
    };
    for (const auto &c : cases) EXPECT_EQ(renderLogFormat(c.format, c.args), QString::fromUtf8(c.expected)) << c.format;
}

TEST(LogCapture, ReceivesEntriesWithCategoryAndLevel) {
    LogCapture capture;
    const Logger log(QStringLiteral("Persistence"));
    log.info("Loaded %{public}ld record(s): %{public}s", 2, "empty");
    log.error("Could not save records: %{public}s", "denied");
    const auto entries = capture.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (LogEntry{kOndrakeSubsystem, "Persistence", LogLevel::info, "Loaded 2 record(s): empty"}));
    EXPECT_EQ(entries[1].level, LogLevel::error);
    EXPECT_EQ(capture.messages(QStringLiteral("Safari")).size(), 0u);
}

}  // namespace
