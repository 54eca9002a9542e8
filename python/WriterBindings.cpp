#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <optional>

#include "channel/ChannelId.h"
#include "python/Bindings.h"
#include "python/PoseWriter.h"
#include "tools/common/ChannelMode.h"

namespace py = pybind11;

namespace {

using Poses = py::array_t<float, py::array::c_style | py::array::forcecast>;

// The permission rule of the programs' --mode, on the number's octal digits.
unsigned CheckedMode(unsigned mode) {
    char octal[16];
    std::snprintf(octal, sizeof octal, "%o", mode);
    std::string problem = ParseChannelMode(octal, mode);
    if (!problem.empty()) throw py::value_error("mode " + std::string(octal) + ": " + problem);
    return mode;
}

// Stations past the rows given keep what they held.
void CopyPoses(const std::optional<Poses>& poses, ChannelState& state) {
    if (!poses) return;
    if (poses->ndim() != 2 || poses->shape(1) != 6 || poses->shape(0) > station_layout::stationCount)
        throw py::value_error("poses must be an array of shape (n, 6), n at most " +
                              std::to_string(station_layout::stationCount));
    for (py::ssize_t k = 0; k < poses->shape(0); ++k) {
        float* record = &state.records[k].x;
        for (py::ssize_t value = 0; value < 6; ++value) record[value] = poses->at(k, value);
    }
}

std::unique_ptr<PoseWriter> OpenWriter(int instrument, int bin, const std::string& description, uint32_t flags,
                                       unsigned mode, const std::optional<Poses>& poses) {
    if (!ChannelId::InRange(instrument) || !ChannelId::InRange(bin))
        throw py::value_error("instrument and bin must be 0.." + std::to_string(ChannelId::highest));
    ChannelState first;
    first.description = description;
    first.flags = flags;
    CopyPoses(poses, first);
    auto writer = std::make_unique<PoseWriter>(instrument, bin);
    if (!writer->Open(CheckedMode(mode), first)) throw ChannelError(writer->Failure());
    return writer;
}

void Write(PoseWriter& writer, const std::optional<Poses>& poses, std::optional<uint32_t> flags,
           std::optional<std::string> description) {
    ChannelState next = writer.Last();
    CopyPoses(poses, next);
    if (flags) next.flags = *flags;
    if (description) next.description = std::move(*description);
    bool written;
    {
        py::gil_scoped_release release;
        written = writer.Write(next);
    }
    if (!written) throw ChannelError(writer.Failure());
}

}  // namespace

void BindWriter(py::module_& module) {
    py::class_<PoseWriter>(module, "Writer", "A channel this program writes as its one writer")
        .def(py::init(&OpenWriter), py::arg("instrument"), py::arg("bin"), py::arg("description") = "",
             py::arg("flags") = 0x21F, py::arg("mode") = 0600, py::arg("poses") = py::none())
        .def("write", &Write, py::arg("poses") = py::none(), py::arg("flags") = py::none(),
             py::arg("description") = py::none())
        .def("close", &PoseWriter::Close)
        .def_property_readonly("counter", [](const PoseWriter& w) { return w.Last().writeCount; })
        .def_property_readonly("skipped", &PoseWriter::SkippedWrites)
        .def("__enter__", [](PoseWriter& writer) -> PoseWriter& { return writer; })
        .def("__exit__", [](PoseWriter& writer, py::args) { writer.Close(); });
}
