#pragma once

#include <string>

// Where lumivex-web listens: an IPv4 address and a port, "ADDR:PORT".
struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 8360;

    // The loopback network, 127.0.0.0/8: reachable from this machine only.
    bool Loopback() const;
    // Reads "ADDR:PORT" (PORT 0..65535, 0 for any free port); "" when it
    // fits, else what is wrong.
    std::string Read(const std::string& text);
};
