#pragma once

#include <string>

#include "plot/StationTrack.h"

// Reads the recording at `path` (either version; plain, gzip, or "-" for
// standard input) into tracks, one per station that was written. False, with
// `error` as the reader gives it ("NAME:LINE: what is wrong"). A file cut
// short is read up to its last whole write, and `warning` says where it stops.
bool ReadTrackRecording(const std::string& path, TrackRecording& recording, std::string& error, std::string& warning);
