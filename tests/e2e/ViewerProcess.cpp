#include "tests/e2e/ViewerProcess.h"

namespace e2e {

const char* const StartupEnd = "\n\tIf no object is selected, \n\t  then the view is the current object.\n";

bool ViewerProcess::Start(const std::vector<std::string>& switches, const std::vector<std::string>& environment) {
    std::vector<std::string> arguments{ProgramPath("lumivex")};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    return output.Valid() && process.Start({arguments, environment, output.Path()});
}

bool ViewerProcess::Expect(const std::string& text, Milliseconds limit) {
    size_t end = output.WaitFor(text, matched, limit);
    if (end == std::string::npos) return false;
    matched = end;
    return true;
}

std::string ViewerProcess::OutputAfterStartup() const {
    const std::string text = Output();
    size_t end = text.find(StartupEnd);
    return end == std::string::npos ? std::string() : text.substr(end + std::string(StartupEnd).size());
}

}  // namespace e2e
