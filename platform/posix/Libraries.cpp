#include "platform/Libraries.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace platform {

std::string LibraryFileName(const std::string& name) { return "lib" + name + ".so"; }

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.find_last_of('/'));
}

bool LibraryLoads(const std::string& path, std::string& reason) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        reason = why ? why : "it does not load";
        return false;
    }
    dlclose(library);
    return true;
}

bool LibraryLoaded(const std::string& name) {
    std::string file = LibraryFileName(name);
    return dl_iterate_phdr(
               [](dl_phdr_info* info, size_t, void* wanted) {
                   const char* path = info->dlpi_name ? info->dlpi_name : "";
                   const char* base = std::strrchr(path, '/');
                   const std::string& file = *static_cast<std::string*>(wanted);
                   return std::strncmp(base ? base + 1 : path, file.c_str(), file.size()) == 0 ? 1 : 0;
               },
               &file) != 0;
}

}  // namespace platform
