// Splits the input at NUL bytes into an argument list and parses it as the
// publisher's command line: whatever it holds, the parser must accept it or
// refuse it with a command-line error, without crashing or ending the process.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/publisher/PublisherOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"lumivex-publisher"};
    words.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    PublisherOptions options;
    try {
        PublisherCommandLine(options)->parse(static_cast<int>(words.size()), argv.data());
    } catch (const CLI::Error&) {
        // A refusal; any other exception escapes and is a finding.
    }
    return 0;
}
