// Splits the input at NUL bytes into an argument list and parses it as the
// publisher's command line: whatever it holds, the parser must answer without
// crashing, throwing or ending the process.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/publisher/PublisherOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"lumivex-publisher"};
    words.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) words.emplace_back();
        else words.back() += static_cast<char>(data[i]);
    }
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    PublisherOptions options;
    std::string error;
    ParseOptions(static_cast<int>(words.size()), argv.data(), options, error);
    return 0;
}
