#pragma once

#include <pthread.h>

// The only code that reads glibc's private fields of pthread_mutex_t. They
// are declared in the public header but are no part of the POSIX interface;
// a C library that lays the mutex out otherwise needs these two functions
// written anew, and nothing else.
namespace platform::posix {

// The kind word glibc keeps in every mutex: the type in its low bits plus
// flag bits for robust, process-shared, priority protocols and elision.
int GlibcMutexKind(const pthread_mutex_t& mutex);

// Drops `mutex` from this thread's list of held robust mutexes, which glibc
// keeps inside the mutexes themselves, when it is the list's head or the
// entry the C library was about to add or remove.
void ForgetRobustListEntry(pthread_mutex_t& mutex);

}  // namespace platform::posix
