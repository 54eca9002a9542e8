#include "python/RecordingColumns.h"

#include "recording/RecordingReader.h"

namespace {

class ColumnBuilder {
public:
    explicit ColumnBuilder(RecordingColumns& recording) : recording(recording) { slots.fill(-1); }

    void Add(const RecordingReader& reader, const RecordedWrite& write) {
        ChannelColumns& channel = Channel(write.channel);
        std::size_t index = channel.seconds.size();
        channel.seconds.push_back(write.seconds);
        channel.counters.push_back(write.writeCount);
        channel.stamps.push_back(write.stampMicros);
        channel.flags.push_back(write.channel.flags);
        for (const RecordedStation& station : write.stations) {
            if (index == 0) channel.stations.push_back(station.station);
            const float* values = &station.record.x;
            channel.poses.insert(channel.poses.end(), values, values + 6);
        }
        if (channel.descriptions.empty() || channel.descriptions.back() != write.channel.description) {
            channel.descriptionFrom.push_back(index);
            channel.descriptions.push_back(write.channel.description);
        }
        NoteRemovals(reader, write.seconds);
    }

private:
    ChannelColumns& Channel(const RecordedChannel& recorded) {
        ChannelId id{recorded.instrument, recorded.bin};
        int& slot = slots[id.Key()];
        if (slot < 0) {
            slot = static_cast<int>(recording.channels.size());
            recording.channels.emplace_back();
            recording.channels.back().id = id;
        }
        return recording.channels[slot];
    }

    void NoteRemovals(const RecordingReader& reader, double seconds) {
        for (const auto* keys : {&reader.RemovedBefore(), &reader.RemovedAfter()})
            for (int key : *keys) Known(key).gone.push_back(seconds);
        for (const RecordingReader::Death& death : reader.Deaths()) Known(death.channel).died.push_back(seconds);
    }

    // A channel named by a removal or a death before its first write gets
    // its columns then.
    ChannelColumns& Known(int key) {
        ChannelId id = ChannelId::OfKey(key);
        return Channel({id.instrument, id.bin, 0, {}});
    }

    RecordingColumns& recording;
    std::array<int, ChannelId::keys> slots;
};

}  // namespace

bool ReadRecordingColumns(const std::string& path, RecordingColumns& recording, std::string& error) {
    RecordingReader reader;
    if (!reader.Open(path)) {
        error = reader.Error();
        return false;
    }
    recording.info = reader.Info();
    ColumnBuilder builder(recording);
    for (RecordedWrite write; reader.Next(write);) builder.Add(reader, write);
    error = reader.Error();
    recording.warning = reader.CutWarning();
    return error.empty();
}
