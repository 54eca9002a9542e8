#include "tools/common/OptionRules.h"

#include <memory>

#include "tools/common/Version.h"

namespace {

const CLI::Validator notAnOption(
    [](std::string& text) {
        return text.rfind("--", 0) == 0 ? "'" + text + "' is an option, not a value" : std::string();
    },
    "", "NotAnOption");

// CLI11's --help-all expands only the first level of commands and names the
// ones below. This one prints, after the program's own help, every command's
// help at every level with its full usage line, so that the help, and the
// manual page made from it, show each command's arguments and options.
class HelpOfEveryCommand : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        if (mode != CLI::AppFormatMode::All) return CLI::Formatter::make_help(app, name, mode);
        return CLI::Formatter::make_help(app, name, CLI::AppFormatMode::Normal) + EveryCommandBelow(app, name);
    }

private:
    std::string EveryCommandBelow(const CLI::App* app, const std::string& name) const {
        std::string text;
        for (const CLI::App* command : app->get_subcommands({}))
            if (!command->get_name().empty()) text += CommandHelp(command, name + " " + command->get_name());
        return text;
    }

    // The command's name as a heading over its indented description (which
    // help2man turns into a section of the manual page), then its usage.
    std::string CommandHelp(const CLI::App* command, const std::string& name) const {
        return "\n" + name + ":\n  " + make_description(command) + make_usage(command, name) +
               make_positionals(command) + make_groups(command, CLI::AppFormatMode::Normal) +
               make_subcommands(command, CLI::AppFormatMode::Normal) + "\n" + EveryCommandBelow(command, name);
    }
};

void UseFormatterIn(CLI::App& app, const std::shared_ptr<CLI::Formatter>& formatter) {
    app.formatter(formatter);
    for (CLI::App* command : app.get_subcommands({})) UseFormatterIn(*command, formatter);
}

void RefuseIn(CLI::App& app) {
    for (CLI::Option* option : app.get_options())
        if (option->get_type_size() != 0 && !option->get_positional()) option->check(notAnOption);
    for (CLI::App* command : app.get_subcommands({})) RefuseIn(*command);
}

}  // namespace

void RefuseOptionLikeValues(CLI::App& app) { RefuseIn(app); }

void AddVersionFlag(CLI::App& app, const std::string& program) {
    app.set_version_flag("--version", program + " " + lumivexVersion, "print the program's name and version and exit");
}

void AddHelpAllFlag(CLI::App& app) {
    app.set_help_all_flag("--help-all", "print the help of every command and exit");
    UseFormatterIn(app, std::make_shared<HelpOfEveryCommand>());
}

CommandLineOutcome ParseCommandLine(CLI::App& app, int argc, const char* const* argv, std::string& message) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        message = app.help();
        return CommandLineOutcome::Help;
    } catch (const CLI::CallForVersion& version) {
        message = std::string(version.what()) + "\n";
        return CommandLineOutcome::Help;
    } catch (const CLI::Error& error) {
        message = error.what();
        return CommandLineOutcome::Error;
    }
    return CommandLineOutcome::Run;
}
