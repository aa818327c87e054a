#include "ViewerServer.h"

#include "PhotoRenderer.h"
#include "RequestGuard.h"

#include "MapRoutes.h"

#include "../Commands.h"
#include "../Session.h"
#include "../WPhotosAppController.h"

#include "foundation/NSRunLoop.h"
#include "foundation/NSString.h"
#include "messageui/MFMailComposeViewController.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UIApplication.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace viewer {

namespace {

// A command line is short; anything longer is not one.
constexpr size_t maxCommandLength = 4096;
// No request the page makes has a body beyond a command line.
constexpr size_t maxBodyLength = 16 * 1024;

struct WebFile {
    const char* name;
    const char* type;
};
constexpr WebFile webFiles[] = {
    { "index.html", "text/html; charset=utf-8" },
    { "viewer.css", "text/css; charset=utf-8" },
    { "viewer.js", "text/javascript; charset=utf-8" },
    // The map: Leaflet, the page's drawing over it and the basemap.
    { "map.js", "text/javascript; charset=utf-8" },
    { "map.css", "text/css; charset=utf-8" },
    { "leaflet.js", "text/javascript; charset=utf-8" },
    { "leaflet.css", "text/css; charset=utf-8" },
    // Compressed at build time and inflated by the page: a type the server
    // does not compress again on every request.
    { "basemap.json.gz", "application/gzip" },
};

std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void plainError(httplib::Response& response, int status, const std::string& text)
{
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

} // namespace

struct ViewerServer::Impl {
    Impl(CommandRunner& commandRunner, WPhotosAppController& application, PhotoRenderer& renderer)
        : runner(commandRunner)
        , app(application)
        , photos(renderer)
    {
    }

    // Runs `task` on the main run loop and waits; one at a time, so a
    // command never runs inside another one's settling.
    template<class F>
    auto onMainThread(F task)
    {
        std::lock_guard guard(mainLock);
        return NSRunLoop::mainRunLoop().performAndWait([&] {
            AutoreleasePool pool;
            return task();
        });
    }

    // The screen and what the page shows beside it.
    nlohmann::ordered_json state()
    {
        nlohmann::ordered_json reply = answerCommand(runner, "show");
        if (auto shown = app.shownPhoto())
            reply["photo"] = { { "index", *shown }, { "count", photos.count() } };
        else
            reply["photo"] = nullptr;
        auto mails = nlohmann::ordered_json::array();
        for (const auto& mail : MFMailComposeViewController::sentMails())
            mails.push_back({ { "to", mail.recipients }, { "subject", mail.subject }, { "handed", mail.handedToMailProgram } });
        NSString* pasted = UIPasteboard::generalPasteboard()->string();
        reply["system"] = {
            { "opened", UIApplication::sharedApplication()->openedURLs() },
            { "mails", mails },
            { "pasteboard", pasted ? nlohmann::ordered_json(pasted->str()) : nlohmann::ordered_json(nullptr) },
        };
        return reply;
    }

    void routes()
    {
        // Address reuse only, without httplib's default port sharing: a
        // second process must not be able to listen on the viewer's port.
        server.set_socket_options([](socket_t sock) {
            int yes = 1;
            ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        });
        server.set_payload_max_length(maxBodyLength);
        server.set_keep_alive_timeout(1); // so stopping does not wait long on idle connections
        server.set_read_timeout(5);
        server.set_write_timeout(5);

        server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
            // The header values are copies: keep them alive while they are read.
            const std::string host = request.get_header_value("Host");
            const std::string originText = request.get_header_value("Origin");
            std::optional<std::string_view> origin;
            if (request.has_header("Origin"))
                origin = originText;
            if (auto refused = requestGuard->refusal(host, origin)) {
                plainError(response, 403, *refused);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
            response.set_header("X-Content-Type-Options", "nosniff");
            response.set_header("Cache-Control", "no-store");
        });
        server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
            if (response.body.empty())
                plainError(response, response.status, response.status == 413 ? "request too large" : "bad request");
        });
        server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
            std::string reason = "internal error";
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& exception) {
                reason = exception.what();
            } catch (...) {
            }
            plainError(response, 500, reason);
        });

        auto page = [this](const std::string& name) {
            return [this, name](const httplib::Request&, httplib::Response& response) {
                const auto& file = files.at(name);
                response.set_content(file.first, file.second);
            };
        };
        server.Get("/", page("index.html"));
        for (const auto& file : webFiles)
            server.Get(std::string("/") + file.name, page(file.name));

        server.Get("/snapshot", [this](const httplib::Request&, httplib::Response& response) {
            auto reply = onMainThread([this] { return state(); });
            response.set_content(answerText(reply), "application/json");
        });

        server.Post("/command", [this](const httplib::Request& request, httplib::Response& response) {
            const std::string& line = request.body;
            if (line.empty() || line.size() > maxCommandLength)
                return plainError(response, 400, "a command is one line of at most 4096 bytes");
            if (line.find_first_of("\r\n") != std::string::npos || line.find('\0') != std::string::npos)
                return plainError(response, 400, "a command is one line");
            bool quit = false;
            auto reply = onMainThread([&] {
                auto answer = answerCommand(runner, line);
                quit = runner.quitRequested();
                return answer;
            });
            response.set_content(answerText(reply), "application/json");
            if (quit && onQuit)
                onQuit();
        });

        server.Get(R"(/photo/(\d{1,9}))", [this](const httplib::Request& request, httplib::Response& response) {
            const size_t index = std::stoul(request.matches[1].str());
            if (index >= photos.count())
                return plainError(response, 404, "no photo " + std::to_string(index));
            auto rendered = photos.render(index);
            if (!rendered.image)
                return plainError(response, 422, rendered.error);
            response.set_content(rendered.image->jpeg, "image/jpeg");
        });

        addMapRoutes(server, mapTiles);
    }

    CommandRunner& runner;
    WPhotosAppController& app;
    PhotoRenderer& photos;
    std::function<void()> onQuit;
    std::optional<std::string> mapTiles;
    httplib::Server server;
    std::optional<RequestGuard> requestGuard;
    std::map<std::string, std::pair<std::string, std::string>> files; // name: content, type
    std::mutex mainLock;
    std::thread listener;
    std::atomic<bool> stopped = false;
};

ViewerServer::ViewerServer(CommandRunner& runner, WPhotosAppController& app, PhotoRenderer& photos)
    : impl_(std::make_unique<Impl>(runner, app, photos))
{
}

ViewerServer::~ViewerServer() { stop(); }

std::optional<std::string> ViewerServer::open(Setup setup)
{
    for (const auto& file : webFiles) {
        const std::string path = setup.webFolder + "/" + file.name;
        auto content = readFile(path);
        if (!content)
            return path + ": cannot be read";
        impl_->files[file.name] = { std::move(*content), file.type };
    }
    if (setup.port < 0 || setup.port > 65535)
        return "port " + std::to_string(setup.port) + " is not between 0 and 65535";
    impl_->mapTiles = std::move(setup.mapTiles);
    impl_->routes();
    int port = setup.port;
    if (port == 0)
        port = impl_->server.bind_to_any_port(setup.address);
    else if (!impl_->server.bind_to_port(setup.address, port))
        port = -1;
    if (port < 0)
        return "cannot listen on " + setup.address + " port " + std::to_string(setup.port) + ": " + std::strerror(errno);
    impl_->requestGuard.emplace(setup.address, port);
    impl_->onQuit = std::move(setup.onQuit);
    return std::nullopt;
}

std::string ViewerServer::pageAddress() const { return impl_->requestGuard ? impl_->requestGuard->pageAddress() : std::string(); }

void ViewerServer::start()
{
    impl_->listener = std::thread([this] {
        impl_->server.listen_after_bind();
        impl_->stopped = true;
    });
    // The server ignores stop() until its thread has begun listening; wait
    // for that, so a signal that comes at once still stops it.
    while (!impl_->server.is_running() && !impl_->stopped)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ViewerServer::stop()
{
    impl_->stopped = true;
    if (impl_->server.is_running() || impl_->listener.joinable())
        impl_->server.stop();
    if (impl_->listener.joinable())
        impl_->listener.join();
}

} // namespace viewer
