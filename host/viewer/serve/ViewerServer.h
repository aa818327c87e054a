#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class WPhotosAppController;

namespace viewer {

class CommandRunner;
class PhotoRenderer;

// The viewer's page and its endpoints, on cpp-httplib:
//   GET  /                      the page (and its /viewer.css, /viewer.js)
//   GET  /snapshot              the screen, the photo on it and what was handed
//                               to the system (opened URLs, mails, pasteboard)
//   POST /command               one command line, answered as the script mode does
//   GET  /photo/N               photo N's pixels as JPEG, fitted to the screen
//   GET  /place, /map-settings  the map's place name and tile server (MapRoutes.h)
// Requests arrive on the server's threads; every one that touches the UI is
// handed to the main run loop, one at a time, and waited for there.
class ViewerServer {
public:
    struct Setup {
        std::string address = "127.0.0.1";
        int port = 0; // 0: a free port
        std::string webFolder; // index.html, viewer.css, viewer.js, the map's files
        // The tile server the person opted in to (--map-tiles); none: the
        // map is drawn from the basemap alone.
        std::optional<std::string> mapTiles;
        // Asked for once the `quit` command has been answered.
        std::function<void()> onQuit;
    };

    ViewerServer(CommandRunner& runner, WPhotosAppController& app, PhotoRenderer& photos);
    ~ViewerServer();
    ViewerServer(const ViewerServer&) = delete;
    ViewerServer& operator=(const ViewerServer&) = delete;

    // Reads the page's files and binds the address; the reason when it cannot.
    std::optional<std::string> open(Setup setup);
    // The address a person opens.
    std::string pageAddress() const;
    // Serves on a thread of its own until stop().
    void start();
    // Stops taking requests and waits for the ones being answered. The main
    // run loop must keep running meanwhile: they may be waiting on it.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace viewer
