#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>

#include "channel/ChannelId.h"
#include "python/Bindings.h"
#include "channel/PublishedChannels.h"
#include "python/LiveChannel.h"
#include "python/NumpyArrays.h"

namespace py = pybind11;

namespace {

using Clock = LiveChannel::Clock;

// A wait ends this often to let Python run its signal handlers, so that
// Ctrl-C interrupts it.
constexpr std::chrono::milliseconds signalCheckPeriod(50);

int CheckedNumber(int number, const char* what) {
    if (!ChannelId::InRange(number))
        throw py::value_error(std::string(what) + " " + std::to_string(number) + " is not 0.." +
                              std::to_string(ChannelId::highest));
    return number;
}

// Several Python threads may share a channel; they take turns.
struct SharedChannel {
    SharedChannel(int instrument, int bin) : live(CheckedNumber(instrument, "instrument"), CheckedNumber(bin, "bin")) {}
    LiveChannel live;
    std::mutex turn;
};

// The stations whose active bit is set.
std::vector<int> ActiveStations(uint32_t flags) {
    std::vector<int> stations;
    for (int k = 0; k < station_layout::stationCount; ++k)
        if (flags & station_layout::stationActiveBits & 1u << k) stations.push_back(k);
    return stations;
}

py::array_t<float> Poses(const ChannelState& state) {
    std::vector<float> values(station_layout::stationCount * 6);
    std::memcpy(values.data(), state.records, sizeof state.records);
    return HandOver(std::move(values), {station_layout::stationCount, 6});
}

// Stations 4..31 have no active bit; they count as active.
py::array_t<bool> ActiveMask(uint32_t flags) {
    py::array_t<bool> mask(station_layout::stationCount);
    for (int k = 0; k < station_layout::stationCount; ++k)
        mask.mutable_at(k) = !station_layout::StationKnownInactive(flags, k);
    return mask;
}

const char* UnitLabel(uint32_t flags) { return station_layout::UnitOfCode(station_layout::UnitCode(flags)).label; }

ChannelSample ReadNow(SharedChannel& channel) {
    ChannelSample sample;
    bool read;
    {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(channel.turn);
        read = channel.live.Read(sample);
    }
    if (!read) throw ChannelError(channel.live.Problem());
    return sample;
}

bool WaitSlice(SharedChannel& channel, Clock::time_point until, ChannelSample& sample) {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(channel.turn);
    return channel.live.WaitForWrite(until, sample);
}

std::string NoWrite(const LiveChannel& live, double timeout) {
    return "no write of channel (" + std::to_string(live.Instrument()) + "," + std::to_string(live.Bin()) +
           ") within " + py::str(py::float_(timeout)).cast<std::string>() + " s";
}

// Waits beyond a year are waits without end, which the clock's arithmetic
// would not hold.
Clock::time_point Deadline(std::optional<double> timeout) {
    constexpr double longestTimeout = 365.0 * 24 * 3600;
    if (timeout && !(*timeout >= 0.0)) throw py::value_error("timeout must be a number of seconds, at least 0");
    if (!timeout || *timeout > longestTimeout) return Clock::time_point::max();
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*timeout));
}

ChannelSample NextWrite(SharedChannel& channel, std::optional<double> timeout) {
    const Clock::time_point deadline = Deadline(timeout);
    ChannelSample sample;
    for (;;) {
        Clock::time_point until = std::min(deadline, Clock::now() + signalCheckPeriod);
        if (WaitSlice(channel, until, sample)) return sample;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        if (until == deadline) {
            PyErr_SetString(PyExc_TimeoutError, NoWrite(channel.live, *timeout).c_str());
            throw py::error_already_set();
        }
    }
}

py::dict Summary(const PublishedChannel& channel) {
    py::dict summary;
    summary["instrument"] = channel.id.instrument;
    summary["bin"] = channel.id.bin;
    summary["description"] = channel.state.description;
    summary["flags"] = channel.state.flags;
    summary["unit"] = UnitLabel(channel.state.flags);
    summary["active"] = ActiveStations(channel.state.flags);
    return summary;
}

py::list Channels() {
    std::vector<PublishedChannel> published;
    {
        py::gil_scoped_release release;
        published = ListPublishedChannels();
    }
    py::list summaries;
    for (const PublishedChannel& channel : published) summaries.append(Summary(channel));
    return summaries;
}

void BindState(py::module_& module) {
    py::class_<ChannelSample>(module, "State", "One write of a channel, copied whole")
        .def_property_readonly("counter", [](const ChannelSample& s) { return s.state.writeCount; })
        .def_property_readonly("stamp", [](const ChannelSample& s) { return s.state.timestampMicros; })
        .def_property_readonly("flags", [](const ChannelSample& s) { return s.state.flags; })
        .def_property_readonly("unit", [](const ChannelSample& s) { return UnitLabel(s.state.flags); })
        .def_property_readonly("description", [](const ChannelSample& s) { return s.state.description; })
        .def_property_readonly("poses", [](const ChannelSample& s) { return Poses(s.state); })
        .def_property_readonly("active", [](const ChannelSample& s) { return ActiveMask(s.state.flags); })
        .def_property_readonly("missed", [](const ChannelSample& s) { return s.missed; });
}

}  // namespace

void BindLive(py::module_& module) {
    BindState(module);
    py::class_<SharedChannel>(module, "Channel", "A published channel, read-only")
        .def_property_readonly("instrument", [](const SharedChannel& c) { return c.live.Instrument(); })
        .def_property_readonly("bin", [](const SharedChannel& c) { return c.live.Bin(); })
        .def("read", &ReadNow)
        .def("next", &NextWrite, py::arg("timeout") = py::none())
        .def("__iter__", [](SharedChannel& channel) -> SharedChannel& { return channel; })
        .def("__next__", [](SharedChannel& channel) { return NextWrite(channel, std::nullopt); });
    module.def(
        "open", [](int instrument, int bin) { return std::make_unique<SharedChannel>(instrument, bin); },
        py::arg("instrument"), py::arg("bin"));
    module.def("channels", &Channels);
}
