#pragma once

#include "uikit/Forward.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class WPhotosAppController;

namespace viewer {

// One command line, split: the command's name and the rest of the line after
// the first space, spaces included ("tap Show Location in Maps app").
struct CommandLine {
    std::string name;
    std::string text;
};
CommandLine splitCommand(std::string_view line);

// What a command that worked answers: the fields of its JSON answer besides
// "ok", and, for the answers that are not a screen, the text a person is shown.
struct Answer {
    nlohmann::json fields = nlohmann::json::object();
    std::optional<std::string> text; // none: show the screen
};

// Runs the viewer's commands (show, tap, toggle, hold, back, outside, next,
// previous, memory-warning, close-viewer, open, scroll, pasteboard, opened, help,
// quit) on the application through the driver, each as one main-loop task
// that ends settled. A command that cannot be done throws, with the reason:
// viewer::CommandError, UIDriverError, or whatever the host or a loaded
// library threw.
class CommandRunner {
public:
    CommandRunner(WPhotosAppController& app, UIDriver& driver)
        : app_(app)
        , driver_(driver)
    {
    }

    Answer run(std::string_view line);
    bool quitRequested() const { return quit_; }

    // The command list for `help` and the usage text.
    static const char* summary();

private:
    void onMainLoop(const std::function<void()>& task);
    // Paging is a swipe on the photo: only the viewer itself can take it.
    void requireUncoveredViewer();

    WPhotosAppController& app_;
    UIDriver& driver_;
    bool quit_ = false;
};

} // namespace viewer
