#pragma once

#include "HostDevice.h"
#include "serve/ServeMode.h"

#include <optional>
#include <string>
#include <vector>

namespace viewer {

// What the command line asks for.
struct ViewerOptions {
    DeviceSettings device;
    std::optional<std::string> libraryFolder;
    bool script = false;
    bool serve = false;
    ServeSettings serveSettings;
    std::vector<std::string> photos;
};

// The value of --device: "phone", "tablet" or an idiom number; nullopt for
// anything else.
std::optional<NSInteger> parseIdiom(const std::string& text);
// Whether --system's value is a version: numbers separated by dots ("7.1.2").
bool isVersion(const std::string& text);

} // namespace viewer
