#pragma once

#include <string>

#include <CLI/CLI.hpp>

// The permission bits of the channels a tool creates (--mode OCTAL): octal
// 0..777, never writable by other users, because the viewer refuses channels
// that any local user could have written, nor by the group: a reader needs
// only read access, and whoever may write a channel may corrupt it.

// Why `text` is refused, or "" with `mode` set.
std::string ParseChannelMode(const std::string& text, unsigned& mode);
// A CLI11 check of such a value.
CLI::Validator ChannelModeValidator();
