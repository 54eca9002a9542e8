#pragma once

#include <string>

#include "plot/StationTrack.h"

// Reads the recording at `path` ("-": standard input) into tracks, one per
// station that has rows. False, with `error` naming the line ("line 12: ...")
// or why the file could not be read.
bool ReadTrackRecording(const std::string& path, TrackRecording& recording, std::string& error);
