#pragma once

#include <cstdint>
#include <string>

#include "tools/publisher/PublisherOptions.h"

// What the publisher says on standard error as it starts and as it ends, so
// that whoever starts it by hand sees that it runs, what it publishes, where
// and how fast; printed as notices, after the program's name.

// "publishing instrument 0 bins 0-1, orbit motion, 120 writes/s, no prefix";
// a replay names its file, speed and channels instead.
std::string StartLine(const PublisherOptions& options);
// "1200 writes in 10.00 s"
std::string EndLine(uint64_t writes, double seconds);
