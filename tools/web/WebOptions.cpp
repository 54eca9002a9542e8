#include "tools/web/WebOptions.h"

#include <fstream>

#include "tools/common/ChannelSelection.h"
#include "tools/common/OptionRules.h"
#include "tools/common/RunCommandLine.h"

namespace {

const char* const description =
    "Serves a live view of the tracking server's channels to web browsers: a page with a table like\n"
    "lumivex-monitor's, a 3-D view of the active stations and plots of their last 10 s, fed by a WebSocket\n"
    "stream of at most 60 states a second. It reads the channels read-only. It listens on 127.0.0.1 only,\n"
    "unless --listen names another address; then it needs --tls-cert, --tls-key and --token-file.";

// Long enough not to be guessed, and safe in a URL as it is.
constexpr std::size_t shortestToken = 16;
const char* const tokenCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";

std::string ListenCheck(const std::string& text) {
    ListenAddress address;
    return address.Read(text);
}

// Beyond this machine, the stream and the token travel only encrypted.
std::string ServingRule(const WebOptions& options) {
    if (options.certificate.empty() != options.key.empty()) return "--tls-cert and --tls-key go together";
    if (options.listen.Loopback()) return "";
    if (options.certificate.empty() || options.tokenFile.empty())
        return "--listen " + options.listen.host +
               " reaches beyond this machine: it needs --tls-cert, --tls-key and --token-file";
    return "";
}

}  // namespace

std::unique_ptr<CLI::App> WebCommandLine(WebOptions& options) {
    auto app = std::make_unique<CLI::App>(description, "lumivex-web");
    ChannelSelection::AddInstrument(*app, options.instrument, "instrument");
    ChannelSelection::AddList(*app, ChannelSelection::List::Bins, options.bins, "channels to show, e.g. 0,1 or 0-15");
    ChannelSelection::AddList(*app, ChannelSelection::List::Stations, options.stations,
                              "stations to show, e.g. 0-3 or 0,2,5");
    app->add_option_function<std::string>(
           "--listen", [&options](const std::string& text) { options.listen.Read(text); },
           "IPv4 address and port to serve on, as ADDR:PORT; port 0 takes any free port (default 127.0.0.1:8360)")
        ->type_name("ADDRESS")
        ->check(CheckedBy(ListenCheck));
    app->add_option("--tls-cert", options.certificate, "serve HTTPS with this PEM certificate (chain)")
        ->type_name("FILE")
        ->check(FileNameValidator());
    app->add_option("--tls-key", options.key, "the PEM private key of --tls-cert")
        ->type_name("FILE")
        ->check(FileNameValidator());
    app->add_option("--token-file", options.tokenFile,
                    "ask every page and stream for the token in FILE (?token=...): at least 16 of A-Z a-z 0-9 - . _ ~")
        ->type_name("FILE")
        ->check(FileNameValidator());
    CheckTogether(*app, [&options] { return ServingRule(options); });
    AddVersionFlag(*app, "lumivex-web");
    RefuseOptionLikeValues(*app);
    return app;
}

std::string ReadToken(const std::string& path, std::string& problem) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    if (!file && !file.eof()) {
        problem = "cannot read the token file " + path;
        return "";
    }
    const char* blanks = " \t\r";
    std::size_t first = line.find_first_not_of(blanks), last = line.find_last_not_of(blanks);
    std::string token = first == std::string::npos ? "" : line.substr(first, last - first + 1);
    if (token.size() < shortestToken || token.find_first_not_of(tokenCharacters) != std::string::npos) {
        problem = "the token in " + path + " is not at least 16 of A-Z a-z 0-9 - . _ ~";
        return "";
    }
    return token;
}
