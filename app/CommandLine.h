#pragma once

#include <cstdint>

// Reads the command line into the global tracker settings and viewer options,
// printing one console line for every value it sets or rejects. Returns false
// only for an unrecognised switch, after printing the usage text.
bool ParseViewerCommandLine(int argc, char** argv);

// Reads a hexadecimal mask (no 0x prefix) that ends at the end of the text or
// at white space; the value keeps its low 32 bits. Writes the destination only
// on success.
bool ParseHexMask(const char* text, uint32_t* destination);

// The label of a tracker type index, e.g. "(Q)uillmont"; indices outside the
// table give the label of the unknown type.
const char* TrackerTypeLabel(int type);
