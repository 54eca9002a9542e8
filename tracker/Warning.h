#pragma once

#include <string>

// The one way the tracker link and the tools warn: a line on standard error,
// "<program>: warning: <subject>: <reason>". Standard output is left to what
// the program shows its user.
void PrintWarning(const std::string& subject, const std::string& reason);
