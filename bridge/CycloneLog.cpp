#include "bridge/CycloneLog.h"

#include <string>

#include <dds/dds.h>

#include "text/ConsoleText.h"
#include "text/Warning.h"

namespace {

constexpr uint32_t reported = DDS_LC_FATAL | DDS_LC_ERROR | DDS_LC_WARNING;

// One kind per place in Cyclone's code, so that a flood from one place does
// not hide a different message. Cyclone's messages quote what peers sent
// (names, addresses), so they are escaped for the terminal.
void Sink(void*, const dds_log_data_t* data) {
    if (!(data->priority & reported) || !data->message) return;
    std::string text(data->message, data->size);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const std::string place = std::string(data->file ? data->file : "") + ":" + std::to_string(data->line);
    PrintLimitedWarning("dds " + place, "DDS", ConsoleText(text));
}

}  // namespace

void CycloneLog::Route() { dds_set_log_sink(Sink, nullptr); }
