#include "platform/posix/FaultGuard.h"

#include <cerrno>
#include <csignal>
#include <sys/mman.h>

namespace platform::posix {

WatchedMapping watchedMappings[watchCapacity];

namespace {

struct sigaction previousAction {};

// A fault outside every watched mapping is not ours: it goes to the previous
// handler, or, with the default action, happens again with that in place.
void ForwardToPrevious(int signal, siginfo_t* info, void* context) {
    if (previousAction.sa_flags & SA_SIGINFO) return previousAction.sa_sigaction(signal, info, context);
    if (previousAction.sa_handler == SIG_IGN && info->si_code <= 0) return;
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN)
        return previousAction.sa_handler(signal);
    sigaction(SIGBUS, &previousAction, nullptr);
    if (info->si_code <= 0) raise(signal);  // sent, not a fault: it would not come again by itself
}

// Only mmap is called here, which the kernel does as one system call.
bool ReplaceWithZeros(WatchedMapping& mapping, std::uintptr_t address) {
    std::uintptr_t begin = mapping.begin.load(std::memory_order_relaxed);
    std::uintptr_t end = mapping.end.load(std::memory_order_relaxed);
    if (!mapping.used.load(std::memory_order_relaxed) || address < begin || address >= end) return false;
    void* zeros = mmap(reinterpret_cast<void*>(begin), end - begin, mapping.protection.load(std::memory_order_relaxed),
                       MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (zeros == MAP_FAILED) return false;
    mapping.vanished.store(true, std::memory_order_relaxed);
    return true;
}

bool ReplacedWithZeros(std::uintptr_t address) {
    for (WatchedMapping& mapping : watchedMappings)
        if (ReplaceWithZeros(mapping, address)) return true;
    return false;
}

// The interrupted code may be between a call and its look at errno, which
// mmap here would overwrite.
void OnBusError(int signal, siginfo_t* info, void* context) {
    int savedErrno = errno;
    auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (info->si_code <= 0 || !ReplacedWithZeros(address)) ForwardToPrevious(signal, info, context);
    errno = savedErrno;
}

bool InstallHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    return sigemptyset(&action.sa_mask) == 0 && sigaction(SIGBUS, &action, &previousAction) == 0;
}

}  // namespace

int WatchMapping(void* base, std::size_t length, int protection) {
    static const bool installed = InstallHandler();
    if (!installed) return -1;
    for (int slot = 0; slot < watchCapacity; ++slot) {
        WatchedMapping& mapping = watchedMappings[slot];
        if (mapping.used.exchange(true)) continue;
        mapping.vanished.store(false);
        mapping.protection.store(protection);
        mapping.begin.store(reinterpret_cast<std::uintptr_t>(base));
        mapping.end.store(reinterpret_cast<std::uintptr_t>(base) + length);
        return slot;
    }
    return -1;
}

void ForgetMapping(int& slot) {
    if (slot < 0) return;
    WatchedMapping& mapping = watchedMappings[slot];
    mapping.end.store(0);
    mapping.begin.store(0);
    mapping.used.store(false);
    slot = -1;
}

}  // namespace platform::posix
