#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

// Rules every tool's command line follows.

// Refuses every option value that starts with "--" ("--csv --once" must not
// record into a file named "--once"). Call after all options are added.
void RefuseOptionLikeValues(CLI::App& app);
// Adds --version, answering "<program> <version>".
void AddVersionFlag(CLI::App& app, const std::string& program);
// Adds --help-all, the help of every command at every level (what the manual
// page of a program with commands is made from).
void AddHelpAllFlag(CLI::App& app);
// A CLI11 check made of `reason`, which returns why a value is refused, or
// "". Its message quotes the value ("--rate: ' 5': expected ..."); `range`,
// if given, is what the help shows of the values allowed.
CLI::Validator CheckedBy(std::function<std::string(const std::string&)> reason, const std::string& range = "");
// A CLI11 check of a file name: not empty.
CLI::Validator FileNameValidator();
