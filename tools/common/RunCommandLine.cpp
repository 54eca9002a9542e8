#include "tools/common/RunCommandLine.h"

#include <cstdio>

#include "tools/common/HelpFormatter.h"
#include "text/Warning.h"

namespace {

constexpr int badOptions = 2;

CommandLineOutcome Answer(const std::string& text) {
    bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
    return CommandLineOutcome::Exit(written ? 0 : 1);
}

CommandLineOutcome Refuse(const std::string& what) {
    return CommandLineOutcome::Exit(PrintError(what + "\nRun with --help for more information.", badOptions));
}

}  // namespace

CommandLineOutcome RunCommandLine(CLI::App& app, int argc, const char* const* argv) {
    UseHelpStyle(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return Answer(app.help());
    } catch (const CLI::CallForAllHelp&) {
        return Answer(app.help("", CLI::AppFormatMode::All));
    } catch (const CLI::CallForVersion& version) {
        return Answer(std::string(version.what()) + "\n");
    } catch (const std::exception& error) {
        return Refuse(error.what());
    }
    return CommandLineOutcome::Run();
}

void CheckTogether(CLI::App& app, std::function<std::string()> check) {
    app.final_callback([check]() {
        std::string problem = check();
        if (!problem.empty()) throw CLI::ValidationError(problem);
    });
}
