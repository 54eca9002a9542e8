#include "app/TrackingReport.h"

#include <cstdio>
#include <string>

#include "app/CommandLine.h"
#include "channel/ChannelId.h"
#include "channel/ObjectRefusal.h"
#include "text/ConsoleText.h"
#include "channel/StationLayout.h"
#include "channel/StartUpLockWaits.h"
#include "channel/StationReader.h"
#include "app/TrackerSettings.h"

namespace {

constexpr int quillmontType = 7;
constexpr int maxInstruments = ChannelId::count;
const char* const rule = "=======================================";

// What the report shows of one channel; a channel that is not there shows as
// not connected, in metres, and one that is there but was not read (its
// mutex held, a half write) says why; either takes its unit from its first
// read.
struct ChannelSummary {
    bool read = false;
    uint32_t formatBits = 0;
    uint32_t unitCode = 3;
    uint32_t activeBits = 0;
    int activeCount = 0;
    std::string description = "Not connected";
};

// How many instrument slots the mask spans, 1..16.
int InstrumentCount(uint32_t instrumentMask) {
    int count = 1;
    while (count < maxInstruments && (instrumentMask >> count) != 0) ++count;
    return count;
}

// Under the lock.
ChannelSummary CopySummary(TrackerClient& client) {
    ChannelSummary summary;
    uint32_t flags = ReadFlagsWord(client);
    summary.formatBits =
        flags & (station_layout::formatCartesian | station_layout::formatEuler | station_layout::formatQuaternion);
    summary.unitCode = station_layout::UnitCode(flags);
    summary.activeBits = flags & station_layout::stationActiveBits;
    summary.activeCount = client.ActiveStationCount();
    summary.description = ReadDescription(client);
    return summary;
}

ChannelSummary SummariseChannel(TrackerClient& client, const StartUpLockWaits& waits) {
    ChannelSummary summary;
    bool read = ReadBinWithin(client, client.CurrentChannel(), waits.ForNextChannel(), [&] {
        summary = CopySummary(client);
        return true;
    });
    // A region that shrank while it was read closes its channel: not connected.
    int bin = client.CurrentChannel();
    summary.read = read && client.IsChannelOpen(bin);
    if (summary.read) return summary;
    ChannelSummary unread;
    if (client.IsChannelOpen(bin)) unread.description = "Not read yet: " + DescribeTrouble(client, bin);
    return unread;
}

const char* UnitLabel(const ChannelSummary& summary, bool open) {
    return summary.read || !open ? station_layout::UnitOfCode(summary.unitCode).label : "UNIT AT FIRST READ";
}

// A column per format, empty where the channel lacks it: "CART|EULR|".
std::string FormatLabels(const ChannelSummary& summary) {
    std::string labels;
    const char* separator = "";
    for (const auto& format : station_layout::channelFormats) {
        labels += separator;
        if (summary.formatBits & format.bit) labels += format.label;
        separator = "|";
    }
    return labels;
}

void PrintSensorLine(int row, const StationMapEntry& entry, const ChannelSummary& summary, const char* unit) {
    std::printf("\n\tSensor%3d: QMT(%d,%d,%d) %s(%d) %sACTIVE %s %s", row, entry.instrument, entry.bin, entry.station,
                ConsoleText(summary.description).c_str(), summary.activeCount,
                summary.activeBits & (1u << entry.station) ? "" : "IN", FormatLabels(summary).c_str(), unit);
}

// Adds a row for every selected station of the bin, as long as the map has room.
void ReportBin(int instrument, int bin, TrackerClient& client, StationMapEntry (&stationMap)[stationMapCapacity],
               int& rows, const StartUpLockWaits& waits) {
    ChannelSummary summary = SummariseChannel(client, waits);
    bool open = client.IsChannelOpen(bin);
    float scale = station_layout::UnitOfCode(summary.unitCode).scale;
    for (int k = 0; k < station_layout::stationCount && rows < stationMapCapacity; ++k) {
        if (!(trackerSettings.stationMask & (1u << k))) continue;
        StationMapEntry& entry = stationMap[rows];
        entry.instrument = instrument;
        entry.bin = bin;
        entry.station = k;
        entry.scale = scale;
        entry.unitKnown = summary.read;
        if (scale != 1.0f && (summary.read || !open)) std::printf("\n\tScale normalized by %7.2f", scale);
        PrintSensorLine(++rows, entry, summary, UnitLabel(summary, open));
    }
}

// A bin is examined only when the client can select it: it is open already,
// or it is the current channel of a new client.
void ReportInstrument(int instrument, TrackerClient& client, StationMapEntry (&stationMap)[stationMapCapacity],
                      int& rows, const StartUpLockWaits& waits) {
    client.CloseAll();
    client.SetInstrument(instrument);
    for (int bin = 0; bin < ShMemChannelSet::maxChannels; ++bin) {
        if ((trackerSettings.binMask & (1u << bin)) && client.SelectChannel(bin) == bin)
            ReportBin(instrument, bin, client, stationMap, rows, waits);
    }
}

}  // namespace

bool ReportTrackingConfiguration(StationMapEntry (&stationMap)[stationMapCapacity], int& stationMapCount,
                                 TrackerClientArray*& trackerClients) {
    int instruments = InstrumentCount(trackerSettings.instrumentMask);
    if (trackerSettings.type != quillmontType) {
        std::printf(" Unsupported type (%s)", TrackerTypeLabel(trackerSettings.type));
        return false;
    }
    trackerClients = TrackerClientArray::Create(instruments);
    if (!trackerClients) {
        if (verboseLevel != 0) std::printf(" Failed to alloc QMT clients");
        return false;
    }
    std::printf("\n%s%s\nQMT Tracking configuration:", rule, rule);
    int rows = 0;
    const StartUpLockWaits waits;
    for (int j = 0; j < instruments; ++j) {
        if (trackerSettings.instrumentMask & (1u << j))
            ReportInstrument(j, (*trackerClients)[j], stationMap, rows, waits);
    }
    stationMapCount = rows;
    stationMap[0].objectId = 1;
    std::printf("\n\tTotal tracking stations = %d\n%s%s", rows, rule, rule);
    return true;
}
