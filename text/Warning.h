#pragma once

#include <string>

// The one way the tracker link and the tools warn: a line on standard error,
// "<program>: warning: <subject>: <reason>". Standard output is left to what
// the program shows its user.
void PrintWarning(const std::string& subject, const std::string& reason);

// A library that lends the tracker link to other programs must not print:
// it takes the warnings instead. Null (the default) prints them.
using WarningSink = void (*)(const std::string& subject, const std::string& reason);
void RedirectWarnings(WarningSink sink);

// The one notice line of every program, "<program>: <what>" on standard
// error: what it did or is about to do, apart from what it shows its user.
void PrintNotice(const std::string& what);

// The one error line of every program, "<program>: <what>" on standard error.
// Returns `status`, so that `return PrintError(...)` ends main with it.
int PrintError(const std::string& what, int status = 1);

// The same line for warnings that may come in floods (malformed network
// samples, a link that is down, the DDS library's own log): at most one line
// per `kind` every few seconds; the next line that gets out says how many of
// that kind were held back. Safe to call from any thread.
void PrintLimitedWarning(const std::string& kind, const std::string& subject, const std::string& reason);
