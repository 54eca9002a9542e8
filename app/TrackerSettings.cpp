#include "app/TrackerSettings.h"

TrackerSettings trackerSettings;
int32_t verboseLevel = 0;
bool startMaximized = false;
const char* configFileName = nullptr;
