#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct lws;
struct lws_context;

// Where and how the web view serves.
struct WebSettings {
    std::string address = "127.0.0.1";
    int port = 0;             // 0: a free port the system picks
    std::string certificate;  // PEM files; with both, it serves HTTPS and WSS only
    std::string key;
    std::string token;  // "": none is asked for
    std::string threeFolder = "/usr/share/javascript/three";
};

// The page and its stream over HTTP(S) and WebSocket, served by
// libwebsockets on a thread of its own: GET / gives the page, /page/NAME its
// scripts and style, /three/NAME the 3-D library from the system's folder,
// and /stream the WebSocket that carries the states. With a token, the page
// and the stream must carry it (?token=...): a request without it gets 403,
// a stream is refused. The scripts and style hold nothing of the channels
// and are served to anyone.
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
    // The URL a browser opens, without the token.
    std::string Address() const;

    // Sends `state` to every page. A page still busy with an earlier state
    // gets the newest once it is ready, never a queue of them.
    void Publish(std::string state);
    // How many pages are connected.
    std::size_t Pages() const { return pages; }

    // libwebsockets' callback, on the server's thread.
    int Handle(lws* connection, int reason, void* session, void* in, std::size_t length);

private:
    bool Secure() const { return !settings.certificate.empty(); }
    bool Admits(lws* connection) const;
    int Request(lws* connection, void* session, const std::string& uri);
    int SendPageHead(lws* connection, void* session, const std::string& name);
    int SendPageBody(lws* connection, void* session);
    int SendState(lws* connection, void* session);

    const WebSettings settings;
    std::string failure;
    int port = 0;
    lws_context* context = nullptr;
    std::atomic<bool> stopping{false};
    std::atomic<std::size_t> pages{0};
    std::thread service;

    std::mutex guard;  // over the newest state, which Publish sets from another thread
    std::string newest;
    uint64_t newestNumber = 0;
    std::string sending;  // the state being written, with room before it for the frame's header
};
