#include "viewer/serve/ServeMode.h"

#include "viewer/serve/BrowserOpener.h"
#include "viewer/serve/PhotoRenderer.h"
#include "viewer/serve/PreviewMaker.h"
#include "viewer/serve/ThumbnailMaker.h"
#include "viewer/serve/ViewerServer.h"

#include "viewer/LineOutput.h"

#include "foundation/NSBundle.h"
#include "foundation/NSRunLoop.h"
#include "foundation/NSString.h"
#include "uikit/UIDriver.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace viewer {

namespace {

constexpr const char* program = "quorix-viewer";
// Photos are rendered at twice the screen's points, for sharp pixels on
// high-density displays.
constexpr int pixelsPerPoint = 2;
// How long a stop waits for the decodes under way.
constexpr std::chrono::milliseconds decodeGrace(300);

// The write end of the pipe a stop signal is reported through: a signal
// handler may only do async-signal-safe things, so it writes one byte and a
// thread of ours does the stopping.
int stopPipe[2] = { -1, -1 };

void onStopSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] auto ignored = ::write(stopPipe[1], &byte, 1);
    errno = saved;
}

bool catchStopSignals(std::string& reason)
{
    if (::pipe2(stopPipe, O_CLOEXEC) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

ServeOutcome serve(CommandRunner& runner, WPhotosAppController& app, UIDriver& driver, const std::vector<std::string>& photoPaths,
    const ServeSettings& settings, LineOutput& out)
{
    std::string reason;
    if (!PhotoRenderer::start(program, reason)) {
        std::cerr << program << ": cannot start the image library: " << reason << '\n';
        return { 1 };
    }
    const CGSize screen = driver.snapshot().screenSize();
    PhotoRenderer photos(photoPaths, PhotoRenderer::defaultLimits());
    // The album's thumbnails: decoded by threads of their own, so a screen
    // of thumbnails never waits behind the full-size photo (or the reverse).
    // One more thread, at the lowest priority, makes those of cells that
    // showed their previews and were left before their row asked for them.
    PhotoRenderer::Limits thumbnailLimits = PhotoRenderer::defaultLimits();
    thumbnailLimits.backgroundDecoders = 1;
    PhotoRenderer thumbnails(photoPaths, thumbnailLimits,
        thumbnailDecoder(ThumbnailCache(ThumbnailCache::defaultRoot(), "quorix-viewer-" QUORIX_VERSION)));

    if (!catchStopSignals(reason)) {
        std::cerr << program << ": cannot catch stop signals: " << reason << '\n';
        return { 1 };
    }
    // What the album's cells show before their thumbnails are made: cheap
    // (a small preview each), by threads of their own so a screen of them
    // never waits behind thumbnails. Not kept: a photo's answer changes once
    // its thumbnail is made.
    // What the page waits for first, and cheap (about 2 ms each): at the
    // server's own priority, so other work on the machine does not starve it.
    PhotoRenderer::Limits previewLimits { 0, PhotoRenderer::defaultLimits().decoders };
    previewLimits.niceness = 0;
    PhotoRenderer previews(photoPaths, previewLimits,
        previewDecoder(ThumbnailCache(ThumbnailCache::defaultRoot(), "quorix-viewer-" QUORIX_VERSION)));
    ViewerServer server(runner, app, photos, thumbnails, previews);
    ViewerServer::Setup setup;
    setup.address = settings.address;
    setup.port = settings.port;
    setup.mapTiles = settings.mapTiles;
    Ref<NSString> resources = NSBundle::mainBundle()->resourcePath();
    setup.webFolder = (resources ? resources->str() : std::string(".")) + "/web";
    setup.photoBox = { static_cast<int>(screen.width) * pixelsPerPoint, static_cast<int>(screen.height) * pixelsPerPoint };
    // `quit` from the page stops the server as Ctrl-C would.
    setup.onQuit = [] { onStopSignal(SIGTERM); };
    if (auto failure = server.open(std::move(setup))) {
        std::cerr << program << ": " << *failure << '\n';
        return { 1 };
    }

    if (auto failure = server.start()) {
        std::cerr << program << ": " << *failure << '\n';
        return { 1 };
    }
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    // Stopping: no new requests first, while the main loop still runs to
    // finish the ones under way; then the main loop.
    std::thread stopper([&server, &loop] {
        char signal = 0;
        while (::read(stopPipe[0], &signal, 1) < 0 && errno == EINTR) {
        }
        server.stop();
        loop.stop();
    });

    int status = 0;
    if (!out.write("Open " + server.pageAddress() + " in a browser; Ctrl-C stops the viewer.\n")) {
        std::cerr << program << ": write error: " << std::strerror(out.error()) << '\n';
        status = 1;
        onStopSignal(SIGTERM);
    } else if (settings.openBrowser && hasGraphicalSession()) {
        if (auto failure = openInBrowser(server.pageAddress()))
            std::cerr << program << ": cannot open the page in a browser: " << *failure << '\n';
    }
    for (;;) {
        try {
            if (!loop.runOnce(std::chrono::milliseconds(200)))
                break;
        } catch (const std::exception& error) {
            // A task outside the commands (which answer their own errors)
            // failed; the viewer goes on serving.
            std::cerr << program << ": " << error.what() << '\n';
        }
    }
    stopper.join();
    // The server is gone; no request waits for a photo any more.
    const bool photosStopped = photos.stop(decodeGrace);
    const bool previewsStopped = previews.stop(decodeGrace);
    if (!thumbnails.stop(decodeGrace) || !photosStopped || !previewsStopped)
        return { status, true };
    PhotoRenderer::finish();
    return { status };
}

} // namespace viewer
