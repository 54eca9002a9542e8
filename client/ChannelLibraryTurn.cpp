#include "client/ChannelLibraryTurn.h"

#include <string>

#include "text/Warning.h"

namespace {

// What the programs would warn about once per process shows in the status
// of the call it concerns instead (a refused channel names its object then).
void DropWarning(const std::string&, const std::string&) {}

}  // namespace

std::unique_lock<std::mutex> ChannelLibraryTurn() {
    static std::mutex turn;
    static std::once_flag silenced;
    std::call_once(silenced, [] { RedirectWarnings(DropWarning); });
    return std::unique_lock<std::mutex>(turn);
}
