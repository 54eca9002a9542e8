#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An argument list made from fuzz input: the bytes split at every NUL, after a
// fixed program path. Empty arguments are kept, as a shell can pass them.
class FuzzArguments {
public:
    FuzzArguments(const char* program, const uint8_t* data, std::size_t size);

    int Count() const { return static_cast<int>(pointers.size()) - 1; }
    // argv-style: Count() entries and a null after them.
    char** Vector() { return pointers.data(); }

private:
    std::vector<std::string> arguments;
    std::vector<char*> pointers;
};
