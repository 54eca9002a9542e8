// Feeds arbitrary bytes to the recording parser: it must answer, never crash.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "server/Recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    Recording recording;
    std::string error;
    ParseRecording(input, recording, error);
    return 0;
}
