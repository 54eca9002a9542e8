#pragma once

#include <pybind11/pybind11.h>

#include <stdexcept>

// The module's parts, each adding its functions and classes to the module.
// Errors reach Python as lumivex.Error or one of its subclasses, carrying the
// message the programs give for the same failure.
void BindErrors(pybind11::module_& module);
void BindLive(pybind11::module_& module);
void BindWriter(pybind11::module_& module);
void BindRecordings(pybind11::module_& module);

// Raise these; BindErrors maps them to the Python exceptions of the same names.
struct ChannelError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct RecordingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
