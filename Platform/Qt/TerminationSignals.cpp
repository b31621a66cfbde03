#include "Qt/TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace ondrake {

namespace {

constexpr std::array kEndingSignals{SIGTERM, SIGINT, SIGHUP};

// A signal handler may only write to a descriptor, so these are the one piece of global state.
int pipeEnds[2] = {-1, -1};
struct Previous {
    struct sigaction action {};
    bool replaced = false;
};
std::array<Previous, kEndingSignals.size()> previous;
struct sigaction previousPipe {};

void onSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
    if (pipeEnds[0] != -1) throw std::logic_error("TerminationSignals already installed");
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0)
        throw std::runtime_error("socketpair failed");
    ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::drain);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        auto &[was, replaced] = previous[i];
        if (::sigaction(kEndingSignals[i], nullptr, &was) != 0 || was.sa_handler == SIG_IGN) continue;
        replaced = ::sigaction(kEndingSignals[i], &action, nullptr) == 0;
    }
    // The log may go to a pipe whose reader went with the terminal; writing to it must not end
    // the process on its way to the final save.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &previousPipe);
}

TerminationSignals::~TerminationSignals() {
    ::sigaction(SIGPIPE, &previousPipe, nullptr);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        if (std::exchange(previous[i].replaced, false)) ::sigaction(kEndingSignals[i], &previous[i].action, nullptr);
    }
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void TerminationSignals::drain() {
    unsigned char byte = 0;
    if (::read(pipeEnds[0], &byte, 1) == 1) emit received(int(byte));
}

}  // namespace ondrake
