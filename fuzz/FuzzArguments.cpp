#include "fuzz/FuzzArguments.h"

FuzzArguments::FuzzArguments(const char* program, const uint8_t* data, std::size_t size) {
    arguments.emplace_back(program);
    if (size > 0) arguments.emplace_back();
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0')
            arguments.emplace_back();
        else
            arguments.back().push_back(static_cast<char>(data[i]));
    }
    // The parsers keep pointers into the list, so it is built only once the
    // strings stop moving.
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
}
