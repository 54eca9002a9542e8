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
