#pragma once

#include <vector>

#include "lumivex/lumivex.h"

// Every channel of every instrument that is published now and that this
// user may read, in the order of instrument and bin.
std::vector<lumivex_channel_info> PublishedChannels();
