#include "web/WebServer.h"

#include <cstring>
#include <utility>
#include <vector>

#include <civetweb.h>
#include <openssl/crypto.h>
#include <openssl/ssl.h>

#include "text/Warning.h"
#include "web/PageFiles.h"

namespace {

// The files of the 3-D library the page loads, by the name the page asks
// for and their place in the system's folder of it.
struct LibraryFile {
    const char* name;
    const char* path;
};
const LibraryFile libraryFiles[] = {{"three.min.js", "/build/three.min.js"},
                                    {"OrbitControls.js", "/examples/js/controls/OrbitControls.js"}};

// The page loads nothing but its own files and talks to nothing but its own
// stream; it never runs what a channel's text holds.
const char* const pageHeaders =
    "Content-Security-Policy: default-src 'self'; connect-src 'self'; img-src 'self' data:; "
    "object-src 'none'; base-uri 'none'; frame-ancestors 'none'\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "Cache-Control: no-store\r\n";

// How many connections civetweb serves at once: every open page keeps one
// for its stream.
const char* const workerThreads = "16";
// A page that says nothing for this long is pinged, and dropped when it does
// not answer.
const char* const streamTimeoutMs = "5000";

WebServer& ServerOf(const mg_connection* connection) {
    return *static_cast<WebServer*>(mg_get_user_data(mg_get_context(connection)));
}

int ServeRequest(mg_connection* connection, void* server) { return static_cast<WebServer*>(server)->Serve(connection); }

int StreamAsked(const mg_connection* connection, void*) { return ServerOf(connection).Admits(connection) ? 0 : 1; }

void StreamReady(mg_connection* connection, void* server) { static_cast<WebServer*>(server)->Join(connection); }

// The page sends nothing the program needs; what it sends is dropped.
int StreamData(mg_connection*, int, char*, std::size_t, void*) { return 1; }

void StreamClosed(const mg_connection* connection, void* server) { static_cast<WebServer*>(server)->Leave(connection); }

int LogMessage(const mg_connection*, const char* message) {
    PrintLimitedWarning("web", "server", message);
    return 1;
}

int InitialiseTls(void* context, void* server) { return static_cast<WebServer*>(server)->SetUpTls(context); }

std::string TokenOf(const mg_connection* connection) {
    const mg_request_info* request = mg_get_request_info(connection);
    const char* query = request->query_string;
    char token[512];
    if (!query || mg_get_var(query, std::strlen(query), "token", token, sizeof token) < 0) return "";
    return token;
}

void SendError(mg_connection* connection, int status, const char* text) {
    mg_send_http_error(connection, status, "%s", text);
}

}  // namespace

WebServer::WebServer(WebSettings settings) : settings(std::move(settings)) {}

WebServer::~WebServer() {
    if (context) mg_stop(context);
    {
        std::lock_guard<std::mutex> lock(guard);
        stopping = true;
    }
    posted.notify_all();
    if (sender.joinable()) sender.join();
    if (context) mg_exit_library();
}

bool WebServer::Start() {
    mg_init_library(Secure() ? MG_FEATURES_WEBSOCKET | MG_FEATURES_TLS : MG_FEATURES_WEBSOCKET);
    std::string ports = settings.address + ":" + std::to_string(settings.port) + (Secure() ? "s" : "");
    const char* options[] = {
        "listening_ports",      ports.c_str(),   "num_threads", workerThreads, "enable_websocket_ping_pong", "yes",
        "websocket_timeout_ms", streamTimeoutMs, nullptr};
    mg_callbacks callbacks{};
    callbacks.log_message = LogMessage;
    callbacks.init_ssl = InitialiseTls;
    mg_init_data init{&callbacks, this, options};
    mg_error_data error{};
    char reason[256] = "";
    error.text = reason;
    error.text_buffer_size = sizeof reason;
    context = mg_start2(&init, &error);
    if (!context) {
        failure = "cannot serve on " + ports + ": " + reason;
        mg_exit_library();
        return false;
    }
    mg_server_port listening{};
    if (mg_get_server_ports(context, 1, &listening) == 1) port = listening.port;
    mg_set_request_handler(context, "/", ServeRequest, this);
    mg_set_websocket_handler(context, "/stream", StreamAsked, StreamReady, StreamData, StreamClosed, this);
    sender = std::thread([this] { SendStates(); });
    return true;
}

std::string WebServer::Address() const {
    return std::string(Secure() ? "https" : "http") + "://" + settings.address + ":" + std::to_string(port) + "/" +
           (settings.token.empty() ? "" : "?token=" + settings.token);
}

// The token is compared in constant time, so that the time of a refusal
// tells nothing of it.
bool WebServer::Admits(const mg_connection* connection) const {
    if (settings.token.empty()) return true;
    std::string given = TokenOf(connection);
    return given.size() == settings.token.size() &&
           CRYPTO_memcmp(given.data(), settings.token.data(), given.size()) == 0;
}

int WebServer::Serve(mg_connection* connection) {
    if (!Admits(connection)) {
        SendError(connection, 403, "a valid token is needed (?token=...)");
        return 403;
    }
    std::string uri = mg_get_request_info(connection)->local_uri;
    std::string name = uri == "/" ? "index.html" : uri.rfind("/page/", 0) == 0 ? uri.substr(6) : "";
    if (const PageFile* file = FindPageFile(name)) {
        mg_response_header_start(connection, 200);
        mg_response_header_add(connection, "Content-Type", file->type, -1);
        mg_response_header_add_lines(connection, pageHeaders);
        mg_response_header_add(connection, "Content-Length", std::to_string(file->size).c_str(), -1);
        mg_response_header_send(connection);
        mg_write(connection, file->data, file->size);
        return 200;
    }
    for (const LibraryFile& file : libraryFiles)
        if (uri == std::string("/three/") + file.name) {
            mg_send_mime_file(connection, (settings.threeFolder + file.path).c_str(), "text/javascript");
            return 200;
        }
    SendError(connection, 404, "no such page");
    return 404;
}

void WebServer::Join(mg_connection* connection) {
    std::lock_guard<std::mutex> lock(guard);
    pages.insert(connection);
}

void WebServer::Leave(const mg_connection* connection) {
    std::lock_guard<std::mutex> writing(sending);
    std::lock_guard<std::mutex> lock(guard);
    pages.erase(const_cast<mg_connection*>(connection));
}

std::size_t WebServer::Pages() {
    std::lock_guard<std::mutex> lock(guard);
    return pages.size();
}

void WebServer::Publish(std::string state) {
    {
        std::lock_guard<std::mutex> lock(guard);
        pending = std::move(state);
        fresh = true;
    }
    posted.notify_one();
}

void WebServer::SendStates() {
    std::unique_lock<std::mutex> lock(guard);
    while (true) {
        posted.wait(lock, [this] { return fresh || stopping; });
        if (stopping) return;
        std::string state = std::move(pending);
        fresh = false;
        std::vector<mg_connection*> receivers(pages.begin(), pages.end());
        lock.unlock();
        {
            std::lock_guard<std::mutex> writing(sending);
            std::lock_guard<std::mutex> check(guard);
            for (mg_connection* page : receivers)
                if (pages.count(page)) mg_websocket_write(page, MG_WEBSOCKET_OPCODE_TEXT, state.data(), state.size());
        }
        lock.lock();
    }
}

int WebServer::SetUpTls(void* tls) const {
    auto* context = static_cast<SSL_CTX*>(tls);
    bool loaded = SSL_CTX_use_certificate_chain_file(context, settings.certificate.c_str()) == 1 &&
                  SSL_CTX_use_PrivateKey_file(context, settings.key.c_str(), SSL_FILETYPE_PEM) == 1 &&
                  SSL_CTX_check_private_key(context) == 1;
    if (!loaded) PrintError("cannot use the certificate " + settings.certificate + " with the key " + settings.key);
    return loaded ? 1 : -1;
}
