#include "web/WebServer.h"

#include <cstring>
#include <utility>
#include <vector>

#include <libwebsockets.h>
#include <openssl/crypto.h>

#include "text/Warning.h"
#include "web/PageFiles.h"

namespace {

// What one connection is: a page file being sent, or a stream.
struct Session {
    const PageFile* file;
    uint64_t sentNumber;  // the number of the last state sent on a stream
};

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
struct Header {
    const char* name;
    const char* value;
};
const Header pageHeaders[] = {
    {"content-security-policy:",
     "default-src 'self'; connect-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
     "frame-ancestors 'none'"},
    {"x-content-type-options:", "nosniff"},
    {"referrer-policy:", "no-referrer"},
    {"cache-control:", "no-store"}};

constexpr std::size_t longestToken = 256;

// A connection idle for 5 s is pinged, and dropped after 10 s without an
// answer: a page whose machine went away stops costing a connection.
const lws_retry_bo_t idlePolicy = {nullptr, 0, 0, 5, 10, 0};

int Callback(lws* connection, lws_callback_reasons reason, void* session, void* in, std::size_t length) {
    auto* server = static_cast<WebServer*>(lws_context_user(lws_get_context(connection)));
    return server ? server->Handle(connection, reason, session, in, length) : 0;
}

const lws_protocols protocols[] = {{"lumivex-web", Callback, sizeof(Session), 0, 0, nullptr, 0},
                                   {nullptr, nullptr, 0, 0, 0, nullptr, 0}};

void Log(int level, const char* line) {
    std::string text(line);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    PrintLimitedWarning("web", level == LLL_ERR ? "server error" : "server", text);
}

// After a response: keep the connection for the next request, or close it.
int Completed(lws* connection) { return lws_http_transaction_completed(connection) ? -1 : 0; }

int Refuse(lws* connection, unsigned status, const char* text) {
    lws_return_http_status(connection, status, text);
    return Completed(connection);
}

}  // namespace

WebServer::WebServer(WebSettings settings) : settings(std::move(settings)) {}

WebServer::~WebServer() {
    stopping = true;
    if (context) lws_cancel_service(context);
    if (service.joinable()) service.join();
    if (context) lws_context_destroy(context);
}

bool WebServer::Start() {
    lws_set_log_level(LLL_ERR | LLL_WARN, Log);
    lws_context_creation_info info{};
    info.port = settings.port;
    info.iface = settings.address.c_str();
    info.protocols = protocols;
    info.user = this;
    info.alpn = "http/1.1";
    info.retry_and_idle_policy = &idlePolicy;
    info.options = LWS_SERVER_OPTION_DISABLE_IPV6 | LWS_SERVER_OPTION_VALIDATE_UTF8;
    if (Secure()) {
        info.options |= LWS_SERVER_OPTION_DO_SSL_GLOBAL_INIT;
        info.ssl_cert_filepath = settings.certificate.c_str();
        info.ssl_private_key_filepath = settings.key.c_str();
    }
    context = lws_create_context(&info);
    lws_vhost* host = context ? lws_get_vhost_by_name(context, "default") : nullptr;
    port = host ? lws_get_vhost_listen_port(host) : -1;
    if (port <= 0) {
        failure = "cannot serve on " + settings.address + ":" + std::to_string(settings.port) +
                  (Secure() ? " with the certificate " + settings.certificate + " and the key " + settings.key : "");
        return false;
    }
    service = std::thread([this] {
        while (!stopping) lws_service(context, 0);
    });
    return true;
}

std::string WebServer::Address() const {
    return std::string(Secure() ? "https" : "http") + "://" + settings.address + ":" + std::to_string(port) + "/";
}

void WebServer::Publish(std::string state) {
    {
        std::lock_guard<std::mutex> lock(guard);
        newest = std::move(state);
        ++newestNumber;
    }
    lws_cancel_service(context);
}

int WebServer::Handle(lws* connection, int reason, void* session, void* in, std::size_t length) {
    auto* own = static_cast<Session*>(session);
    switch (reason) {
        case LWS_CALLBACK_HTTP:
            return Request(connection, session, std::string(static_cast<const char*>(in), length));
        case LWS_CALLBACK_HTTP_WRITEABLE:
            return SendPageBody(connection, session);
        case LWS_CALLBACK_HTTP_FILE_COMPLETION:
            return Completed(connection);
        case LWS_CALLBACK_FILTER_PROTOCOL_CONNECTION:
            return Admits(connection) ? 0 : -1;
        case LWS_CALLBACK_ESTABLISHED:
            own->sentNumber = 0;
            ++pages;
            lws_callback_on_writable(connection);
            return 0;
        case LWS_CALLBACK_CLOSED:
            --pages;
            return 0;
        case LWS_CALLBACK_SERVER_WRITEABLE:
            return SendState(connection, session);
        case LWS_CALLBACK_EVENT_WAIT_CANCELLED:
            lws_callback_on_writable_all_protocol(context, &protocols[0]);
            return 0;
        default:
            return 0;
    }
}

// The token is compared in constant time, so that the time of a refusal
// tells nothing of it.
bool WebServer::Admits(lws* connection) const {
    if (settings.token.empty()) return true;
    char buffer[longestToken + 8];
    const char* given = lws_get_urlarg_by_name(connection, "token=", buffer, sizeof buffer);
    return given && std::strlen(given) == settings.token.size() &&
           CRYPTO_memcmp(given, settings.token.data(), settings.token.size()) == 0;
}

int WebServer::Request(lws* connection, void* session, const std::string& uri) {
    if (uri == "/" && !Admits(connection))
        return Refuse(connection, HTTP_STATUS_FORBIDDEN, "a valid token is needed: ?token=...");
    if (uri == "/") return SendPageHead(connection, session, "index.html");
    if (uri.rfind("/page/", 0) == 0 && FindPageFile(uri.substr(6)))
        return SendPageHead(connection, session, uri.substr(6));
    for (const LibraryFile& file : libraryFiles)
        if (uri == std::string("/three/") + file.name) {
            int sent = lws_serve_http_file(connection, (settings.threeFolder + file.path).c_str(), "text/javascript",
                                           nullptr, 0);
            return sent < 0 ? -1 : sent > 0 ? Completed(connection) : 0;
        }
    return Refuse(connection, HTTP_STATUS_NOT_FOUND, "no such page");
}

int WebServer::SendPageHead(lws* connection, void* session, const std::string& name) {
    const PageFile* file = FindPageFile(name);
    static_cast<Session*>(session)->file = file;
    unsigned char buffer[LWS_PRE + 2048];
    unsigned char *start = buffer + LWS_PRE, *at = start, *end = buffer + sizeof buffer - 1;
    if (lws_add_http_common_headers(connection, HTTP_STATUS_OK, file->type, file->size, &at, end)) return 1;
    for (const Header& header : pageHeaders)
        if (lws_add_http_header_by_name(connection, reinterpret_cast<const unsigned char*>(header.name),
                                        reinterpret_cast<const unsigned char*>(header.value),
                                        static_cast<int>(std::strlen(header.value)), &at, end))
            return 1;
    if (lws_finalize_write_http_header(connection, start, &at, end)) return 1;
    lws_callback_on_writable(connection);
    return 0;
}

int WebServer::SendPageBody(lws* connection, void* session) {
    const PageFile* file = static_cast<Session*>(session)->file;
    if (!file) return 0;
    std::vector<unsigned char> body(LWS_PRE + file->size);
    std::memcpy(body.data() + LWS_PRE, file->data, file->size);
    if (lws_write(connection, body.data() + LWS_PRE, file->size, LWS_WRITE_HTTP_FINAL) != static_cast<int>(file->size))
        return 1;
    static_cast<Session*>(session)->file = nullptr;
    return Completed(connection);
}

// libwebsockets asks for the next write only once the last one is gone, so
// a slow page skips the states that came meanwhile.
int WebServer::SendState(lws* connection, void* session) {
    auto* own = static_cast<Session*>(session);
    {
        std::lock_guard<std::mutex> lock(guard);
        if (newestNumber == own->sentNumber || newest.empty()) return 0;
        own->sentNumber = newestNumber;
        sending.assign(LWS_PRE, '\0');
        sending += newest;
    }
    std::size_t size = sending.size() - LWS_PRE;
    auto* text = reinterpret_cast<unsigned char*>(&sending[LWS_PRE]);
    return lws_write(connection, text, size, LWS_WRITE_TEXT) < static_cast<int>(size) ? -1 : 0;
}
