#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "platform/InputFile.h"

// Lines of a text file, plain or gzip-compressed (told apart by its first
// bytes), or of standard input ("-"). Reads in large blocks, but never waits
// for a block to fill: a line that comes down a pipe is handed out as soon
// as it is whole. A line stays valid until the next call.
class LineSource {
public:
    LineSource() = default;
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;
    ~LineSource();

    // False, with Error() set, when the file cannot be opened.
    bool Open(const std::string& name);
    // The next line without its line feed (and without a CR before it, or a
    // UTF-8 byte-order mark before the first). False at the end of the text,
    // on a read error, or at a line longer than 65536 bytes.
    bool Next(std::string_view& line);

    // A whole line is read already: Next will not wait for the input.
    bool LineReady() const { return std::memchr(buffer.data() + begin, '\n', end - begin) != nullptr; }
    long LineNumber() const { return lineNumber; }
    // The last line handed out had no line feed: the text ends inside it.
    bool LastLineUnfinished() const { return unfinished; }
    // A compressed stream that stops before its end (a recorder that died).
    bool Truncated() const { return truncated; }
    // Empty unless opening or reading failed (reading: at the line after
    // LineNumber()).
    const std::string& Error() const { return error; }

private:
    bool Fill();
    long Take(char* into, std::size_t room);
    long Inflate(char* into, std::size_t room);
    bool ReadInput(std::size_t least);
    bool NextMember();
    long Failed(const std::string& why);

    platform::InputFile input;
    void* inflater = nullptr;  // z_stream, for a compressed text
    std::string raw;           // bytes read and not yet handed on
    std::size_t rawBegin = 0;
    bool inputEnded = false;
    bool compressedEnded = false;  // its last member ended
    std::string buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool atEnd = false;
    bool unfinished = false;
    bool truncated = false;
    long lineNumber = 0;
    std::string error;
};
