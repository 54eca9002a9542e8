#include "tools/common/OptionRules.h"

#include <memory>

#include "tools/common/Version.h"

namespace {

const CLI::Validator notAnOption(
    [](std::string& text) {
        return text.rfind("--", 0) == 0 ? "'" + text + "' is an option, not a value" : std::string();
    },
    "", "NotAnOption");

// CLI11's --help-all expands only the first level of commands and lists the
// commands below them by name; this one expands every level, so that the
// help and the manual page made from it show every command's arguments.
class ExpandEveryLevel : public CLI::Formatter {
public:
    std::string make_subcommands(const CLI::App* app, CLI::AppFormatMode mode) const override {
        return CLI::Formatter::make_subcommands(app, mode == CLI::AppFormatMode::Sub ? CLI::AppFormatMode::All : mode);
    }
};

void ExpandIn(CLI::App& app, const std::shared_ptr<CLI::Formatter>& formatter) {
    app.formatter(formatter);
    for (CLI::App* command : app.get_subcommands({})) ExpandIn(*command, formatter);
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
    ExpandIn(app, std::make_shared<ExpandEveryLevel>());
}
