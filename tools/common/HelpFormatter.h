#pragma once

#include <string>

#include <CLI/CLI.hpp>

// The help of every tool, written the way a person would write it: an option
// by its names ("-o, --output") with its value's name, then what it does and, in one parenthesis, the
// range of its value (the description of its check), its default, the
// options it needs or excludes, and whether it may be repeated:
//   --speed X    play X times as fast (0.001..1000; default 1; with --replay)
// An option group is a heading of its own. With --help-all, the help of
// every command at every level follows the program's own, each with its full
// usage line (what the manual page of a program with commands is made from).
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_description(const CLI::App* app) const override;
    std::string make_expanded(const CLI::App* group) const override;
    std::string make_option_name(const CLI::Option* option, bool positional) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option_desc(const CLI::Option* option) const override;

private:
    std::string EveryCommandBelow(const CLI::App* app, const std::string& name) const;
    std::string CommandHelp(const CLI::App* command, const std::string& name) const;
};

// Makes `app` and every command below it use that formatter, with the help
// option worded like the others.
void UseHelpStyle(CLI::App& app);
