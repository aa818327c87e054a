#pragma once

#include <optional>
#include <string>
#include <vector>

class UIDriver;
class WPhotosAppController;

namespace viewer {

class CommandRunner;
class LineOutput;

struct ServeSettings {
    std::string address = "127.0.0.1";
    int port = 0;
    std::optional<std::string> mapTiles; // --map-tiles URL-TEMPLATE
};

// Serves the running viewer to a browser until SIGINT or SIGTERM (or the
// `quit` command): prints the address to open on `out`, then runs the main
// run loop on this thread, where every command the page sends is carried
// out. Returns the exit status; what went wrong goes to stderr.
int serve(CommandRunner& runner, WPhotosAppController& app, UIDriver& driver, const std::vector<std::string>& photoPaths,
    const ServeSettings& settings, LineOutput& out);

} // namespace viewer
