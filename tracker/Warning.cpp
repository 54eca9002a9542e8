#include "tracker/Warning.h"

#include <cerrno>
#include <cstdio>

void PrintWarning(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "%s: warning: %s: %s\n", program_invocation_short_name, subject.c_str(), reason.c_str());
}
