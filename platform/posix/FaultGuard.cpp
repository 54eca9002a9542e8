#include "platform/posix/FaultGuard.h"

namespace platform::posix {

namespace {

struct sigaction previousAction {};

// A fault outside any guard is not ours: it goes to the previous handler, or,
// with the default action, happens again with that action in place.
void ForwardToPrevious(int signal, siginfo_t* info, void* context) {
    if (previousAction.sa_flags & SA_SIGINFO) return previousAction.sa_sigaction(signal, info, context);
    if (previousAction.sa_handler == SIG_IGN && info->si_code <= 0) return;
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN)
        return previousAction.sa_handler(signal);
    sigaction(SIGBUS, &previousAction, nullptr);
    if (info->si_code <= 0) raise(signal);  // sent, not a fault: it would not come again by itself
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    sigjmp_buf* guard = activeFaultGuard;
    if (guard && info->si_code > 0) siglongjmp(*guard, 1);
    ForwardToPrevious(signal, info, context);
}

}  // namespace

// SA_NODEFER keeps SIGBUS unblocked in the handler, so a jump out of it needs
// no saved signal mask (saving one costs a system call on every guard).
bool InstallFaultHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    return sigemptyset(&action.sa_mask) == 0 && sigaction(SIGBUS, &action, &previousAction) == 0;
}

}  // namespace platform::posix
