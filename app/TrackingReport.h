#pragma once

#include "app/StationMapEntry.h"
#include "app/TrackerClientArray.h"

constexpr int stationMapCapacity = 32;

// The tracker step of the viewer's start-up: creates the tracker clients,
// connects every selected instrument and bin for the first time, fills the
// station map with one row per selected station (row 0 drives the viewpoint)
// and prints the tracking configuration. Rows beyond the map's 32 are neither
// stored nor printed. False when the tracker type is not served or the
// clients cannot be created.
bool ReportTrackingConfiguration(StationMapEntry (&stationMap)[stationMapCapacity], int& stationMapCount,
                                 TrackerClientArray*& trackerClients);
