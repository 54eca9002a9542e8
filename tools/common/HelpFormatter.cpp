#include "tools/common/HelpFormatter.h"

#include <memory>
#include <vector>

namespace {

// CLI11 joins the descriptions of an option's checks to its value's name,
// "N:0..15"; a value's name never holds a colon.
std::vector<std::string> SplitTypeName(const std::string& typeName) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        std::size_t colon = typeName.find(':', start);
        parts.push_back(typeName.substr(start, colon - start));
        if (colon == std::string::npos) return parts;
        start = colon + 1;
    }
}

std::string NamesOf(const std::set<CLI::Option*>& options) {
    std::string names;
    for (const CLI::Option* option : options) names += (names.empty() ? "" : ", ") + option->get_name();
    return names;
}

std::vector<std::string> Notes(const CLI::Option* option) {
    std::vector<std::string> parts = SplitTypeName(option->get_type_name()), notes(parts.begin() + 1, parts.end());
    const struct {
        bool applies;
        std::string text;
    } more[] = {
        {!option->get_default_str().empty(), "default " + option->get_default_str()},
        {!option->get_needs().empty(), "with " + NamesOf(option->get_needs())},
        {!option->get_excludes().empty(), "not with " + NamesOf(option->get_excludes())},
        {option->get_expected_max() >= CLI::detail::expected_max_vector_size, "repeatable"},
    };
    for (const auto& note : more)
        if (note.applies) notes.push_back(note.text);
    return notes;
}

}  // namespace

std::string HelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const {
    if (mode != CLI::AppFormatMode::All) return CLI::Formatter::make_help(app, name, mode);
    return CLI::Formatter::make_help(app, name, CLI::AppFormatMode::Normal) + EveryCommandBelow(app, name);
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
    const std::string& text = app->get_description();
    return text.empty() ? text : text + "\n";
}

// An option group: its description as a heading over its options.
std::string HelpFormatter::make_expanded(const CLI::App* group) const {
    bool exactlyOne = group->get_require_option_min() == 1 && group->get_require_option_max() == 1;
    std::string heading = group->get_description() + (exactlyOne ? ", exactly one of" : "");
    return make_group(heading, false, group->get_options([group](const CLI::Option* option) {
        return option != group->get_help_ptr();
    }));
}

std::string HelpFormatter::make_option_name(const CLI::Option* option, bool positional) const {
    std::string names = CLI::Formatter::make_option_name(option, positional);
    for (std::size_t comma = names.find(','); comma != std::string::npos; comma = names.find(',', comma + 2))
        names.insert(comma + 1, " ");
    return names;
}

std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
    if (option->get_type_size() == 0 || !option->nonpositional()) return "";
    return " " + SplitTypeName(option->get_type_name()).front();
}

std::string HelpFormatter::make_option_desc(const CLI::Option* option) const {
    std::string notes;
    for (const std::string& note : Notes(option)) notes += (notes.empty() ? " (" : "; ") + note;
    return option->get_description() + (notes.empty() ? "" : notes + ")");
}

std::string HelpFormatter::EveryCommandBelow(const CLI::App* app, const std::string& name) const {
    std::string text;
    for (const CLI::App* command : app->get_subcommands({}))
        if (!command->get_name().empty()) text += CommandHelp(command, name + " " + command->get_name());
    return text;
}

// The command's name as a heading over its indented description (which
// help2man turns into a section of the manual page), then its usage.
std::string HelpFormatter::CommandHelp(const CLI::App* command, const std::string& name) const {
    return "\n" + name + ":\n  " + make_description(command) + make_usage(command, name) + make_positionals(command) +
           make_groups(command, CLI::AppFormatMode::Normal) + make_subcommands(command, CLI::AppFormatMode::Normal) +
           "\n" + EveryCommandBelow(command, name);
}

void UseHelpStyle(CLI::App& app) {
    static const auto formatter = std::make_shared<HelpFormatter>();
    app.formatter(formatter);
    if (app.get_help_ptr() != nullptr && !app.get_name().empty())
        app.set_help_flag("-h,--help", "print this help and exit");
    for (CLI::App* command : app.get_subcommands({})) UseHelpStyle(*command);
}
