#include "recording/LineSource.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace {

constexpr std::size_t blockSize = 1 << 18;
// Far more than any line a recorder writes (a description is at most 2778
// characters): a file without line feeds must not take all memory. The same
// limit holds wherever a line lies in the blocks read.
constexpr std::size_t maxLineLength = 1 << 16;
// A line may carry a CR before its line feed beyond the limit.
constexpr std::size_t maxRawLength = maxLineLength + 1;
// A byte-order mark some editors put at the start of a UTF-8 file.
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

constexpr std::string_view gzipMagic = "\x1f\x8b";

z_stream& Stream(void* inflater) { return *static_cast<z_stream*>(inflater); }

}  // namespace

LineSource::~LineSource() {
    if (!inflater) return;
    inflateEnd(&Stream(inflater));
    delete &Stream(inflater);
}

// The first bytes tell a compressed text (gzip's magic number) from a plain one.
bool LineSource::Open(const std::string& name) {
    if (!input.Open(name, error)) return false;
    buffer.resize(blockSize);
    if (!ReadInput(gzipMagic.size()) || raw.compare(0, gzipMagic.size(), gzipMagic) != 0) return error.empty();
    inflater = new z_stream{};
    // 16: a gzip header and trailer around the deflated data.
    if (inflateInit2(&Stream(inflater), 16 + MAX_WBITS) == Z_OK) return true;
    error = "cannot be decompressed: zlib has no memory";
    return false;
}

long LineSource::Failed(const std::string& why) {
    if (error.empty()) error = why;
    return -1;
}

// Reads until at least `least` bytes wait in `raw`, or the input ends;
// false when they are not there.
bool LineSource::ReadInput(std::size_t least) {
    raw.erase(0, rawBegin);
    rawBegin = 0;
    while (raw.size() < least && !inputEnded) {
        const std::size_t had = raw.size();
        raw.resize(had + blockSize);
        long got = input.Read(&raw[had], blockSize, error);
        raw.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
        inputEnded = got <= 0;
    }
    return raw.size() >= least;
}

// A plain text: what is read is handed on as it is.
long LineSource::Take(char* into, std::size_t room) {
    if (rawBegin == raw.size() && !ReadInput(1)) return error.empty() ? 0 : -1;
    const std::size_t size = std::min(room, raw.size() - rawBegin);
    std::memcpy(into, raw.data() + rawBegin, size);
    rawBegin += size;
    return static_cast<long>(size);
}

// Another gzip member after the one that ended is read on, as gzip does;
// anything else there is left unread.
bool LineSource::NextMember() {
    if (!ReadInput(gzipMagic.size()) || raw.compare(0, gzipMagic.size(), gzipMagic) != 0) return false;
    return inflateReset(&Stream(inflater)) == Z_OK;
}

// Waits only until some text comes out. Input that ends inside a member
// cuts the text short.
long LineSource::Inflate(char* into, std::size_t room) {
    z_stream& stream = Stream(inflater);
    stream.next_out = reinterpret_cast<Bytef*>(into);
    stream.avail_out = static_cast<uInt>(room);
    while (!compressedEnded && stream.avail_out == room) {
        if (rawBegin == raw.size() && !ReadInput(1)) {
            truncated = error.empty();
            return truncated ? 0 : -1;
        }
        stream.next_in = reinterpret_cast<Bytef*>(&raw[rawBegin]);
        stream.avail_in = static_cast<uInt>(raw.size() - rawBegin);
        int code = inflate(&stream, Z_NO_FLUSH);
        rawBegin = raw.size() - stream.avail_in;
        if (code == Z_STREAM_END) compressedEnded = !NextMember();
        if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR)
            return Failed(std::string("the compressed data is damaged (") + (stream.msg ? stream.msg : "zlib") + ")");
    }
    return static_cast<long>(room - stream.avail_out);
}

// Moves what is left of the buffer to its front and reads behind it; the
// buffer doubles when one line fills it.
bool LineSource::Fill() {
    if (atEnd) return false;
    std::memmove(&buffer[0], buffer.data() + begin, end - begin);
    end -= begin;
    begin = 0;
    if (buffer.size() - end < blockSize / 2) buffer.resize(buffer.size() * 2);
    long got = inflater ? Inflate(&buffer[end], buffer.size() - end) : Take(&buffer[end], buffer.size() - end);
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
        if (!found && searched > maxRawLength) error = "a line longer than " + std::to_string(maxLineLength) + " bytes";
        if (found || !error.empty() || !Fill()) break;
    }
    if (!error.empty() || (!found && begin == end)) return false;
    std::size_t stop = found ? static_cast<std::size_t>(found - buffer.data()) : end;
    line = std::string_view(buffer.data() + begin, stop - begin);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > maxLineLength) {
        error = "a line longer than " + std::to_string(maxLineLength) + " bytes";
        return false;
    }
    unfinished = !found;
    begin = found ? stop + 1 : end;
    if (lineNumber == 0 && line.substr(0, byteOrderMark.size()) == byteOrderMark)
        line.remove_prefix(byteOrderMark.size());
    ++lineNumber;
    return true;
}
