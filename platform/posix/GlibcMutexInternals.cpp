#include "platform/posix/GlibcMutexInternals.h"

#include <cstdint>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform::posix {

// Read as the C library stores it, with a relaxed atomic load, as the C
// library itself reads it.
int GlibcMutexKind(const pthread_mutex_t& mutex) { return __atomic_load_n(&mutex.__data.__kind, __ATOMIC_RELAXED); }

// Entries are tagged in their lowest bit.
void ForgetRobustListEntry(pthread_mutex_t& mutex) {
    struct robust_list_head* head = nullptr;
    std::size_t length = 0;
    if (syscall(SYS_get_robust_list, 0, &head, &length) != 0 || !head) return;
    auto entry = reinterpret_cast<std::uintptr_t>(&mutex.__data.__list.__next);
    auto untagged = [](void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer) & ~std::uintptr_t{1}; };
    if (untagged(head->list.next) == entry) head->list.next = &head->list;
    if (untagged(head->list_op_pending) == entry) head->list_op_pending = nullptr;
}

}  // namespace platform::posix
