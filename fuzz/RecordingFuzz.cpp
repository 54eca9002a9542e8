// Feeds arbitrary bytes to the recording reader, as a file: it must answer,
// never crash, whatever the bytes (compressed or not).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "recording/RecordingReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/lvxfuzzrecording" + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    RecordingReader reader;
    if (reader.Open(path))
        for (RecordedWrite write; reader.Next(write);) {}
    std::remove(path.c_str());
    return 0;
}
