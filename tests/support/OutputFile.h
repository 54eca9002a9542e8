#pragma once

#include <string>

#include "tests/support/ChildProcess.h"

namespace testsupport {

// A temporary file that a child process writes its output into and the test
// reads while the child runs; removed when the object goes.
class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Valid() const { return !path.empty(); }
    const std::string& Path() const { return path; }

    // Everything written so far.
    std::string Text() const;

    // Polls until `text` appears at or after byte `from`; the position just
    // behind it, or std::string::npos when `limit` passed first.
    size_t WaitFor(const std::string& text, size_t from, Milliseconds limit) const;

private:
    std::string path;
};

}  // namespace testsupport
