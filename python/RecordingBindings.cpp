#include <pybind11/stl.h>

#include "plot/RecordingTracks.h"
#include "plot/StatisticsReport.h"
#include "python/Bindings.h"
#include "python/NumpyArrays.h"
#include "python/RecordingColumns.h"

namespace py = pybind11;

namespace {

void Warn(const std::string& warning) {
    if (!warning.empty() && PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
}

py::list Descriptions(const ChannelColumns& channel) {
    py::list changes;
    for (std::size_t i = 0; i < channel.descriptions.size(); ++i)
        changes.append(py::make_tuple(channel.descriptionFrom[i], channel.descriptions[i]));
    return changes;
}

py::dict Columns(ChannelColumns& channel) {
    auto writes = static_cast<py::ssize_t>(channel.seconds.size());
    auto stations = static_cast<py::ssize_t>(channel.stations.size());
    py::dict columns;
    columns["instrument"] = channel.id.instrument;
    columns["bin"] = channel.id.bin;
    columns["stations"] = channel.stations;
    columns["descriptions"] = Descriptions(channel);
    columns["time"] = HandOver(std::move(channel.seconds));
    columns["counter"] = HandOver(std::move(channel.counters));
    columns["stamp"] = HandOver(std::move(channel.stamps));
    columns["flags"] = HandOver(std::move(channel.flags));
    columns["poses"] = HandOver(std::move(channel.poses), {writes, stations, 6});
    columns["gone"] = HandOver(std::move(channel.gone));
    columns["died"] = HandOver(std::move(channel.died));
    return columns;
}

py::dict ReadRecording(const std::string& path) {
    RecordingColumns recording;
    std::string error;
    bool read;
    {
        py::gil_scoped_release release;
        read = ReadRecordingColumns(path, recording, error);
    }
    if (!read) throw RecordingError(error);
    Warn(recording.warning);
    py::dict channels;
    for (ChannelColumns& channel : recording.channels)
        channels[py::make_tuple(channel.id.instrument, channel.id.bin)] = Columns(channel);
    return channels;
}

// The figures of the statistics report, by its column headings.
py::list Statistics(const std::string& path) {
    TrackRecording recording;
    std::string error, warning;
    bool read;
    {
        py::gil_scoped_release release;
        read = ReadTrackRecording(path, TrackSelection{}, statisticsColumnCapacity, recording, error, warning);
    }
    if (!read) throw RecordingError(error);
    Warn(warning);
    std::vector<std::string> headings = StatisticsHeadings();
    py::list rows;
    for (const std::vector<double>& values : StatisticsValues(recording.tracks)) {
        py::dict row;
        for (std::size_t i = 0; i < headings.size(); ++i) row[headings[i].c_str()] = values[i];
        rows.append(row);
    }
    return rows;
}

}  // namespace

void BindRecordings(py::module_& module) {
    module.def("read_recording", &ReadRecording, py::arg("path"));
    module.def("stats", &Statistics, py::arg("path"));
}
