#include "Qt/TerminationSignals.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

using namespace ondrake;

namespace {

// The disposition of a signal, set for one test and put back after it.
class ScopedDisposition {
public:
    ScopedDisposition(int number, void (*handler)(int)) : number_(number) {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        ::sigaction(number_, &action, &previous_);
    }
    ~ScopedDisposition() { ::sigaction(number_, &previous_, nullptr); }
    ScopedDisposition(const ScopedDisposition &) = delete;
    ScopedDisposition &operator=(const ScopedDisposition &) = delete;

private:
    int number_;
    struct sigaction previous_ {};
};

using Handler = void (*)(int);
Handler handlerOf(int number) {
    struct sigaction current {};
    ::sigaction(number, nullptr, &current);
    return current.sa_handler;
}

struct Ending {
    const char *name;
    int number;
};
// The terminal's Ctrl-C, a plain kill, and the terminal or session going away.
const Ending kEndings[] = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};

TEST(TerminationSignals, EachSignalThatAsksTheProcessToEndArrivesOnTheMainLoop) {
    for (const auto &ending : kEndings) {
        SCOPED_TRACE(ending.name);
        const ScopedDisposition byDefault(ending.number, SIG_DFL);
        {
            TerminationSignals termination;
            QSignalSpy received(&termination, &TerminationSignals::received);
            ASSERT_EQ(::raise(ending.number), 0);
            ASSERT_TRUE(received.wait(5000));
            ASSERT_EQ(received.size(), 1);
            EXPECT_EQ(received.front().front().toInt(), ending.number);
        }
        EXPECT_EQ(handlerOf(ending.number), SIG_DFL) << "put back as it was";
    }
}

// Started under nohup, or as a shell's background job, the process was meant to outlive the
// terminal: a signal it was started ignoring stays ignored.
TEST(TerminationSignals, ASignalTheProcessWasStartedIgnoringStaysIgnored) {
    for (const auto &ending : kEndings) {
        SCOPED_TRACE(ending.name);
        // Another, handled, arrives after it would have.
        const int other = ending.number == SIGTERM ? SIGINT : SIGTERM;
        const ScopedDisposition ignored(ending.number, SIG_IGN);
        const ScopedDisposition byDefault(other, SIG_DFL);
        TerminationSignals termination;
        QSignalSpy received(&termination, &TerminationSignals::received);
        EXPECT_EQ(handlerOf(ending.number), SIG_IGN);
        ASSERT_EQ(::raise(ending.number), 0);
        ASSERT_EQ(::raise(other), 0);
        ASSERT_TRUE(received.wait(5000));
        ASSERT_EQ(received.size(), 1);
        EXPECT_NE(received.front().front().toInt(), ending.number);
    }
}

// SIGQUIT is asked for a core dump of a process that hangs, and keeps doing that. A write to a
// pipe whose reader has gone fails rather than ending the process.
TEST(TerminationSignals, LeavesSigquitAloneAndIgnoresSigpipeWhileInstalled) {
    const ScopedDisposition quitByDefault(SIGQUIT, SIG_DFL);
    const ScopedDisposition pipeByDefault(SIGPIPE, SIG_DFL);
    {
        const TerminationSignals termination;
        EXPECT_EQ(handlerOf(SIGQUIT), SIG_DFL);
        EXPECT_EQ(handlerOf(SIGPIPE), SIG_IGN);
    }
    EXPECT_EQ(handlerOf(SIGPIPE), SIG_DFL);
}

}  // namespace
