#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

// Redirects standard output into a temporary file while it lives.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        file = std::tmpfile();
        saved = dup(STDOUT_FILENO);
        if (!file || saved < 0 || dup2(fileno(file), STDOUT_FILENO) < 0) ADD_FAILURE() << "stdout not captured";
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    ~StdoutCapture() {
        Restore();
        if (file) std::fclose(file);
    }

    // Everything printed since construction; ends the capture.
    std::string Text() {
        Restore();
        std::string text;
        if (!file) return text;
        std::rewind(file);
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
        return text;
    }

private:
    void Restore() {
        if (saved < 0) return;
        std::fflush(stdout);
        if (dup2(saved, STDOUT_FILENO) < 0) ADD_FAILURE() << "stdout not restored";
        close(saved);
        saved = -1;
    }

    std::FILE* file = nullptr;
    int saved = -1;
};
