#include "app/ConsoleWindow.h"
#include "app/ViewerApp.h"
#include "platform/Console.h"
#include "app/CommandLine.h"

namespace {

// Returned when no graphics window could be created (no display).
const int NoWindowStatus = 3;

}  // namespace

int main(int argc, char** argv) {
    platform::MakeOutputUnbuffered();
    ConsoleWindow console("Lumivex Console");
    console.SetBufferSize(80, 200);
    if (!ParseViewerCommandLine(argc, argv)) return -1;
    ViewerApp viewer;
    viewer.Init(nullptr);
    viewer.ShowWindow();
    if (viewer.Run()) return 0;
    return NoWindowStatus;
}
