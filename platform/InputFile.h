#pragma once

#include <cstddef>
#include <string>

namespace platform {

// A file, or standard input ("-"), read as it comes: a read gives what is
// there and waits only while nothing is, so that a line written into a pipe
// is read as soon as it arrives.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path, std::string& reason);
    // Bytes read into `buffer`: 0 at the end, -1 with `reason` on a failure.
    long Read(char* buffer, std::size_t size, std::string& reason);

private:
    int descriptor = -1;
    bool owned = false;  // standard input is left open
};

}  // namespace platform
