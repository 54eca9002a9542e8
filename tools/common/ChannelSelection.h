#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

// The options that choose what a tool reads or writes: an instrument, or a
// list of instruments, bins or stations in the one list syntax
// (text/NumberList.h). Every tool adds them here, so that each has the same
// range, check, placeholder and shown default everywhere; the tool gives the
// option's help, and its name where it is not the usual one.
class ChannelSelection {
public:
    enum class List { Instruments, Bins, Stations };

    // --instrument N, one instrument.
    static CLI::Option* AddInstrument(CLI::App& app, int& instrument, const std::string& help);
    // A list read into a mask (bit n: number n); the help shows the mask's default.
    static CLI::Option* AddList(CLI::App& app, List list, uint32_t& mask, const std::string& help,
                                const std::string& name = "");
    // A list kept as its text, for a tool that reads the mask later or shows the text.
    static CLI::Option* AddList(CLI::App& app, List list, std::string& text, const std::string& help,
                                const std::string& name = "");
};
