#include "core/interrupt.hpp"

#include <csignal>

#include "core/error.hpp"

namespace RepositoryAccess::interrupt {

namespace {

volatile std::sig_atomic_t theNoted = 0;

// Only async-signal-safe steps: the first signal is noted, the second one is delivered again
// with its default action.
extern "C" void onInterrupt(int theSignal) {
    if (theNoted != 0) {
        std::signal(theSignal, SIG_DFL);
        std::raise(theSignal);
        return;
    }
    theNoted = 1;
}

} // namespace

void install() {
    struct sigaction anAction {};
    anAction.sa_handler = onInterrupt;
    sigemptyset(&anAction.sa_mask);
    anAction.sa_flags = SA_RESTART;
    sigaction(SIGINT, &anAction, nullptr);
    sigaction(SIGTERM, &anAction, nullptr);
}

bool requested() {
    return theNoted != 0;
}

void check() {
    if (requested())
        throw Error("Interrupted.");
}

void reset() {
    theNoted = 0;
}

} // namespace RepositoryAccess::interrupt
