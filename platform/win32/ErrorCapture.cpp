#include "platform/ErrorCapture.h"

#include <cstdio>
#include <io.h>

namespace platform {

// A temporary file the C library removes when it is closed.
ErrorCapture::ErrorCapture() {
    std::FILE* temporary = nullptr;
    if (tmpfile_s(&temporary) != 0 || !temporary) return;
    file = _dup(_fileno(temporary));
    std::fclose(temporary);
    std::fflush(stderr);
    saved = file < 0 ? -1 : _dup(_fileno(stderr));
    if (saved < 0 || _dup2(file, _fileno(stderr)) < 0) {
        if (file >= 0) _close(file);
        if (saved >= 0) _close(saved);
        file = saved = -1;
    }
}

ErrorCapture::~ErrorCapture() { Take(); }

std::string ErrorCapture::Take() {
    if (saved < 0) return {};
    std::fflush(stderr);
    _dup2(saved, _fileno(stderr));
    _close(saved);
    saved = -1;
    std::string text;
    char block[4096];
    _lseek(file, 0, SEEK_SET);
    for (int got; (got = _read(file, block, sizeof block)) > 0;) text.append(block, static_cast<std::size_t>(got));
    _close(file);
    file = -1;
    return text;
}

}  // namespace platform
