#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

struct mg_context;
struct mg_connection;

// Where and how the web view serves.
struct WebSettings {
    std::string address = "127.0.0.1";
    int port = 0;             // 0: a free port the system picks
    std::string certificate;  // PEM files; with both, it serves HTTPS and WSS only
    std::string key;
    std::string token;  // "": none is asked for
    std::string threeFolder = "/usr/share/javascript/three";
};

// The page and its stream over HTTP(S) and WebSocket, served by civetweb:
// GET / gives the page, /page/NAME its scripts and style, /three/NAME the
// 3-D library from the system's folder, and /stream the WebSocket that
// carries the states. With a token, every request and stream must carry it
// (?token=...): any other gets 403, and no stream.
class WebServer {
public:
    explicit WebServer(WebSettings settings);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens; false, with Failure() telling why, when it cannot.
    bool Start();
    const std::string& Failure() const { return failure; }
    // The port it listens on, once started.
    int Port() const { return port; }
    // The URL a browser opens, token included.
    std::string Address() const;

    // Sends `state` to every page. A state still waiting for a slow page is
    // replaced by the newer one, never queued behind it.
    void Publish(std::string state);
    // How many pages are connected.
    std::size_t Pages();

    // For civetweb's callbacks.
    int Serve(mg_connection* connection);
    bool Admits(const mg_connection* connection) const;
    void Join(mg_connection* connection);
    void Leave(const mg_connection* connection);
    int SetUpTls(void* context) const;

private:
    bool Secure() const { return !settings.certificate.empty(); }
    void SendStates();

    const WebSettings settings;
    std::string failure;
    int port = 0;
    mg_context* context = nullptr;

    std::mutex guard;
    std::condition_variable posted;
    std::string pending;
    bool fresh = false;
    bool stopping = false;
    std::set<mg_connection*> pages;
    std::mutex sending;  // held while a state is written, so that a page leaves between two writes
    std::thread sender;
};
