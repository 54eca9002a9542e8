#include "tools/common/OptionRules.h"

#include "tools/common/Version.h"

namespace {

const CLI::Validator notAnOption(
    [](std::string& text) {
        return text.rfind("--", 0) == 0 ? "'" + text + "' is an option, not a value" : std::string();
    },
    "", "NotAnOption");

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

void AddHelpAllFlag(CLI::App& app) { app.set_help_all_flag("--help-all", "print the help of every command and exit"); }

CLI::Validator FileNameValidator() {
    return CLI::Validator(
        [](std::string& text) { return text.empty() ? std::string("the file name is empty") : std::string(); }, "",
        "FileName");
}

CLI::Validator CheckedBy(std::function<std::string(const std::string&)> reason, const std::string& range) {
    return CLI::Validator(
        [reason](std::string& text) {
            std::string why = reason(text);
            return why.empty() ? why : "'" + text + "': " + why;
        },
        range, "");
}
