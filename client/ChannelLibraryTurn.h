#pragma once

#include <mutex>

// The channel library keeps state for the whole process (the watch on shared
// objects, the objects it has refused already) and is made for one thread:
// every call into it from this library holds the one turn. The first turn
// also takes the library's warnings, so that nothing is printed.
std::unique_lock<std::mutex> ChannelLibraryTurn();
