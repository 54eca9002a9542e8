#include "platform/Signals.h"

#include <pthread.h>
#include <signal.h>

#include <csignal>

namespace platform {
namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t resized = 0;

void RequestStop(int) { stopRequested = 1; }
void NoteResize(int) { resized = 1; }

// Restarted system calls: a write interrupted by the signal is finished, not lost.
bool Catch(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    return sigemptyset(&action.sa_mask) == 0 && sigaction(number, &action, nullptr) == 0;
}

}  // namespace

// A hang-up (the terminal or ssh session closed) ends a program as SIGTERM
// does: a recorder still closes its file whole.
bool CatchStopRequests() {
    bool interrupt = Catch(SIGINT, RequestStop);
    bool terminate = Catch(SIGTERM, RequestStop);
    bool hangUp = Catch(SIGHUP, RequestStop);
    return interrupt && terminate && hangUp;
}

bool StopRequested() { return stopRequested != 0; }

bool CatchResizes() { return Catch(SIGWINCH, NoteResize); }

// A resize that comes between the test and the reset is answered with this
// one: the redraw that follows reads the size after both.
bool ResizeSeen() {
    if (!resized) return false;
    resized = 0;
    return true;
}

bool AcceptBusErrorsInThisThread() {
    sigset_t busError;
    return sigemptyset(&busError) == 0 && sigaddset(&busError, SIGBUS) == 0 &&
           pthread_sigmask(SIG_UNBLOCK, &busError, nullptr) == 0;
}

}  // namespace platform
