#include "platform/ErrorCapture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace platform {

// An unlinked file in the temporary folder: nothing to remove afterwards.
ErrorCapture::ErrorCapture() {
    std::FILE* temporary = std::tmpfile();
    if (!temporary) return;
    file = dup(fileno(temporary));
    std::fclose(temporary);
    std::fflush(stderr);
    saved = file < 0 ? -1 : dup(STDERR_FILENO);
    if (saved < 0 || dup2(file, STDERR_FILENO) < 0) {
        if (file >= 0) close(file);
        if (saved >= 0) close(saved);
        file = saved = -1;
    }
}

ErrorCapture::~ErrorCapture() { Take(); }

std::string ErrorCapture::Take() {
    if (saved < 0) return {};
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    saved = -1;
    std::string text;
    char block[4096];
    lseek(file, 0, SEEK_SET);
    for (ssize_t got; (got = read(file, block, sizeof block)) > 0;) text.append(block, static_cast<std::size_t>(got));
    close(file);
    file = -1;
    return text;
}

}  // namespace platform
