// libFuzzer target for lumivex-monitor's command line: the input, split at NUL
// bytes, is the argument list behind the program name. Whatever it holds, the
// parser must accept it or refuse it with a message, and options it accepts
// must be ones the monitor can use.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/monitor/MonitorOptions.h"

namespace {

std::vector<std::string> Arguments(const uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"lumivex-monitor"};
    if (size > 0) words.emplace_back();
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    return words;
}

bool Usable(const MonitorOptions& options) {
    return options.instrument >= 0 && options.instrument <= 15 && options.bins != 0 && (options.bins >> 16) == 0 &&
           options.stations != 0 && !(options.once && !options.csvPath.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::vector<std::string> words = Arguments(data, size);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    MonitorOptions options;
    try {
        MonitorCommandLine(options)->parse(static_cast<int>(words.size()), argv.data());
    } catch (const CLI::Error& error) {
        if (std::string(error.what()).empty()) __builtin_trap();
        return 0;
    }
    if (!Usable(options)) __builtin_trap();
    return 0;
}
