#pragma once

#include "uikit/Forward.h"

#include <optional>
#include <string>
#include <vector>

class WPhotosAppController;

namespace viewer {

class CommandRunner;
class LineOutput;

struct ServeSettings {
    std::string address = "127.0.0.1";
    int port = 0;
    // Open the page in the person's browser once it listens (--no-browser: no).
    bool openBrowser = true;
    std::optional<std::string> mapTiles; // --map-tiles URL-TEMPLATE
};

struct ServeOutcome {
    int status; // what went wrong went to stderr
    // A decode that cannot be interrupted is still running: the process
    // must end (std::_Exit) without tearing down what it still uses.
    bool endAtOnce = false;
};

// Serves the running viewer to a browser until SIGINT or SIGTERM (or the
// `quit` command): prints the address to open on `out` and, in a graphical
// session, opens it with `xdg-open` (unless told not to), then runs the main
// run loop on this thread, where every command the page sends is carried
// out. Stops within a second of the signal whatever the clients do.
ServeOutcome serve(CommandRunner& runner, WPhotosAppController& app, UIDriver& driver, const std::vector<std::string>& photoPaths,
    const ServeSettings& settings, LineOutput& out);

} // namespace viewer
