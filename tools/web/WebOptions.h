#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/web/ListenAddress.h"

// Everything the command line of lumivex-web sets.
struct WebOptions {
    int instrument = 0;
    uint32_t bins = 0xFFFF;   // bit b: bin b
    uint32_t stations = 0xF;  // bit k: station k
    ListenAddress listen;
    std::string certificate;
    std::string key;
    std::string tokenFile;
};

// The web view's command line, bound to `options`. Beyond the loopback
// network it serves only over TLS and to those who know the token.
std::unique_ptr<CLI::App> WebCommandLine(WebOptions& options);

// The token in `path`: its first line without surrounding blanks. "" with
// `problem` set when it cannot be read or is not a token.
std::string ReadToken(const std::string& path, std::string& problem);
