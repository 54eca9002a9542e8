#include "python/Bindings.h"

PYBIND11_MODULE(_lumivex, module) {
    module.doc() = "Reads and writes the tracking server's channels and reads lumivex recordings";
    BindErrors(module);
    BindLive(module);
    BindWriter(module);
    BindRecordings(module);
}
