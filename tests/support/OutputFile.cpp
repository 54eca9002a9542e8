#include "tests/support/OutputFile.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace testsupport {

OutputFile::OutputFile() {
    const char* directory = std::getenv("TMPDIR");
    std::string pattern = std::string(directory && *directory ? directory : "/tmp") + "/lumivex-e2e-XXXXXX";
    int descriptor = mkstemp(pattern.data());
    if (descriptor == -1) return;
    path = pattern;
    if (close(descriptor) == 0) return;
    unlink(path.c_str());
    path.clear();
}

OutputFile::~OutputFile() {
    if (Valid()) unlink(path.c_str());
}

std::string OutputFile::Text() const {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

size_t OutputFile::WaitFor(const std::string& text, size_t from, Milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::string written = Text();
        size_t found = from <= written.size() ? written.find(text, from) : std::string::npos;
        if (found != std::string::npos) return found + text.size();
        if (std::chrono::steady_clock::now() >= deadline) return std::string::npos;
        std::this_thread::sleep_for(Milliseconds(10));
    }
}

}  // namespace testsupport
