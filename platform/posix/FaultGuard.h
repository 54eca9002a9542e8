#pragma once

#include <atomic>
#include <csetjmp>
#include <csignal>

// Memory of a shared object that another process shrinks (ftruncate, or
// shm_open with O_TRUNC) faults with SIGBUS where the mapping now lies beyond
// the object's end. RunGuarded turns such a fault inside `operation` into a
// false result instead of the end of the process. One guard at a time per
// thread; a SIGBUS outside a guard goes to whatever handled it before.
namespace platform::posix {

// The guard of this thread; set only while a guarded operation runs.
inline thread_local sigjmp_buf* activeFaultGuard = nullptr;
bool InstallFaultHandler();

// True when `operation` ran to its end. Its effects up to a fault stay done.
template <typename Operation>
[[gnu::noinline]] bool RunGuarded(Operation&& operation) {
    static const bool installed = InstallFaultHandler();
    if (!installed) return false;
    sigjmp_buf guard;
    // The mask is not saved: the handler runs with SIGBUS unblocked, so
    // jumping out of it leaves the mask as it was.
    if (sigsetjmp(guard, 0) != 0) {
        activeFaultGuard = nullptr;
        return false;
    }
    activeFaultGuard = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    operation();
    std::atomic_signal_fence(std::memory_order_seq_cst);
    activeFaultGuard = nullptr;
    return true;
}

}  // namespace platform::posix
