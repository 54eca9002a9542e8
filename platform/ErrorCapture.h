#pragma once

#include <string>

namespace platform {

// While it is held, what the process writes to its standard error (a
// library's own messages, which it prints raw) goes into a temporary file;
// Take gives it back and standard error is the terminal's again. When no
// temporary file can be made, standard error stays as it is. POSIX only:
// the plot, its one user, is not built for Windows.
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    // What was written since; ends the capture.
    std::string Take();

private:
    int saved = -1;  // standard error as it was
    int file = -1;   // the temporary file
};

}  // namespace platform
