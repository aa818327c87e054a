#pragma once

#include "viewer/serve/PhotoRenderer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class WPhotosAppController;

namespace viewer {

class CommandRunner;

// The viewer's page and its endpoints, on libmicrohttpd:
//   GET  /                      the page (and its scripts, styles, Leaflet and basemap:
//                               PageFiles.h, revalidated by their ETag)
//   GET  /snapshot              the screen, the photo on it and what was handed
//                               to the system (opened URLs, mails, pasteboard)
//   POST /command               one command line, answered as the script mode does
//   GET  /photo/N               photo N's pixels as JPEG, fitted to the screen
//   GET  /thumbnail/N?size=PX   photo N's thumbnail as PNG, 128 pixels up to PX 128, else 256
//   GET  /thumbnails?first=N&count=M&size=PX
//                               thumbnails N to N+M-1 in one multipart/form-data
//                               response (a row of the album: one request, not M)
//   GET  /place, /map-settings  the map's place name and tile server (MapRoutes.h)
// One thread reads every connection (epoll), so a slow client costs a socket,
// never a worker. A request that waits (for the UI or a decode) is suspended
// until its answer is ready: every one that touches the UI is handed to the
// main run loop, one at a time; photos go to the renderer's decoders.
class ViewerServer {
public:
    struct Setup {
        std::string address = "127.0.0.1";
        int port = 0; // 0: a free port
        std::string webFolder; // index.html, viewer.css, viewer.js
        PhotoRenderer::Box photoBox; // the size /photo/N is fitted to
        // The tile server the person opted in to (--map-tiles); none: the
        // map is drawn from the basemap alone.
        std::optional<std::string> mapTiles;
        // Asked for once the `quit` command has been answered.
        std::function<void()> onQuit;
    };

    // `previews` answers what the album's cells show before their
    // thumbnails are made (PreviewMaker.h).
    ViewerServer(CommandRunner& runner, WPhotosAppController& app, PhotoRenderer& photos, PhotoRenderer& thumbnails,
        PhotoRenderer& previews);
    ~ViewerServer();
    ViewerServer(const ViewerServer&) = delete;
    ViewerServer& operator=(const ViewerServer&) = delete;

    // Reads the page's files and binds the address; the reason when it cannot.
    std::optional<std::string> open(Setup setup);
    // The address a person opens.
    std::string pageAddress() const;
    // Serves on a thread of its own until stop(); the reason when it cannot.
    std::optional<std::string> start();
    // Answers the requests still waiting with 503, closes every connection
    // and waits for the UI task under way. The main run loop must keep
    // running meanwhile: that task runs there.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace viewer
