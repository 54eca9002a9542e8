#pragma once

#include <string>
#include <string_view>

// Lines of a text file, plain or gzip-compressed (told apart by its first
// bytes), or of standard input ("-"). Reads in large blocks; a line stays
// valid until the next call.
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

    void* file = nullptr;  // gzFile
    std::string path;
    std::string buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool atEnd = false;
    bool unfinished = false;
    bool truncated = false;
    long lineNumber = 0;
    std::string error;
};
