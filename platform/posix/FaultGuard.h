#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Memory of a shared object that another process shrinks (ftruncate, or
// shm_open with O_TRUNC) faults with SIGBUS where a mapping now lies beyond
// the object's end. Mappings of shared objects are watched: a fault inside
// one turns the whole mapping into private zero-filled memory with the same
// protection, so the access that faulted, and every later one, completes
// harmlessly, and the mapping is marked vanished. Its owner checks the mark
// after each access and throws what it read away. The usual path costs one
// load. A SIGBUS anywhere else goes to whatever handled it before.
namespace platform::posix {

struct WatchedMapping {
    std::atomic<bool> used{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<int> protection{0};
    std::atomic<bool> vanished{false};
};

constexpr int watchCapacity = 1024;  // every region and mutex of sixteen instruments, twice over
extern WatchedMapping watchedMappings[watchCapacity];

// A slot for the mapping, or -1 when there is no room or no handler.
int WatchMapping(void* base, std::size_t length, int protection);
void ForgetMapping(int& slot);

// Call after the accesses it should cover.
inline bool MappingVanished(int slot) {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return slot < 0 || watchedMappings[slot].vanished.load(std::memory_order_relaxed);
}

}  // namespace platform::posix
