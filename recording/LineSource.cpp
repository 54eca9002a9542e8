#include "recording/LineSource.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr std::size_t blockSize = 1 << 18;
// Far more than any line a recorder writes (a description is at most 2778
// characters): a file without line feeds must not take all memory. The same
// limit holds wherever a line lies in the blocks read.
constexpr std::size_t maxLineLength = 1 << 16;
// A byte-order mark some editors put at the start of a UTF-8 file.
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// zlib's message starts with the file's name, which the reader's message
// gives already.
std::string CompressionFault(const char* message, const std::string& path) {
    std::string reason = message;
    if (reason.compare(0, path.size() + 2, path + ": ") == 0) reason.erase(0, path.size() + 2);
    return "the compressed data is damaged (" + reason + ")";
}

gzFile Handle(void* file) { return static_cast<gzFile>(file); }

// zlib closes the descriptor it is given, so standard input is handed over as a copy.
gzFile OpenCompressed(const std::string& path) {
    if (path != "-") return gzopen(path.c_str(), "rb");
    int descriptor = dup(STDIN_FILENO);
    if (descriptor < 0) return nullptr;
    gzFile file = gzdopen(descriptor, "rb");
    if (!file) close(descriptor);
    return file;
}

}  // namespace

LineSource::~LineSource() {
    if (file) gzclose_r(Handle(file));
}

bool LineSource::Open(const std::string& name) {
    errno = 0;
    file = OpenCompressed(name);
    if (!file) {
        error = errno ? std::strerror(errno) : "cannot be opened";
        return false;
    }
    path = name;
    gzbuffer(Handle(file), blockSize);
    buffer.resize(blockSize);
    return true;
}

// Moves what is left of the buffer to its front and reads behind it; the
// buffer doubles when one line fills it.
bool LineSource::Fill() {
    if (atEnd || !file) return false;
    std::memmove(&buffer[0], buffer.data() + begin, end - begin);
    end -= begin;
    begin = 0;
    if (buffer.size() - end < blockSize / 2) buffer.resize(buffer.size() * 2);
    int got = gzread(Handle(file), &buffer[end], static_cast<unsigned>(buffer.size() - end));
    int code = Z_OK;
    const char* message = gzerror(Handle(file), &code);
    if (code == Z_BUF_ERROR)
        truncated = true;
    else if (code == Z_DATA_ERROR)
        error = CompressionFault(message, path);
    else if (got < 0 || code != Z_OK)
        error = message;
    if (got <= 0)
        atEnd = true;
    else
        end += static_cast<std::size_t>(got);
    return got > 0;
}

// `searched` counts the bytes behind `begin` known to hold no line feed;
// Fill moves the text but keeps it behind `begin`.
bool LineSource::Next(std::string_view& line) {
    const char* found = nullptr;
    for (std::size_t searched = 0;;) {
        found = static_cast<const char*>(std::memchr(buffer.data() + begin + searched, '\n', end - begin - searched));
        searched = end - begin;
        if (!found && searched > maxLineLength)
            error = "a line longer than " + std::to_string(maxLineLength) + " bytes";
        if (found || !error.empty() || !Fill()) break;
    }
    if (!error.empty() || (!found && begin == end)) return false;
    std::size_t stop = found ? static_cast<std::size_t>(found - buffer.data()) : end;
    if (stop - begin > maxLineLength) {
        error = "a line longer than " + std::to_string(maxLineLength) + " bytes";
        return false;
    }
    unfinished = !found;
    line = std::string_view(buffer.data() + begin, stop - begin);
    begin = found ? stop + 1 : end;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNumber == 0 && line.substr(0, byteOrderMark.size()) == byteOrderMark)
        line.remove_prefix(byteOrderMark.size());
    ++lineNumber;
    return true;
}
