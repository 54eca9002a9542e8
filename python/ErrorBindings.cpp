#include "python/Bindings.h"

namespace py = pybind11;

void BindErrors(py::module_& module) {
    static py::exception<std::runtime_error> base(module, "Error");
    static py::exception<ChannelError> channel(module, "ChannelError", base.ptr());
    static py::exception<RecordingError> recording(module, "RecordingError", base.ptr());
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const ChannelError& error) {
            channel(error.what());
        } catch (const RecordingError& error) {
            recording(error.what());
        }
    });
}
