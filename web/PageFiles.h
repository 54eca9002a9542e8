#pragma once

#include <cstddef>
#include <string>

// A file of the web view's page (web/page/), built into the program so that
// the page cannot drift from the program that streams to it.
struct PageFile {
    const char* name;  // "index.html", "view.js", ...
    const char* type;  // its media type
    const unsigned char* data;
    std::size_t size;
};

// nullptr for a name that is not one of the page's files.
const PageFile* FindPageFile(const std::string& name);
