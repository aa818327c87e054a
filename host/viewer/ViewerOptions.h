#pragma once

#include "viewer/HostDevice.h"
#include "viewer/serve/ServeMode.h"

#include <optional>
#include <string>
#include <vector>

namespace viewer {

// Which of its frameworks' viewer classes the host runs with.
enum class HostKind {
    Full, // the generation's own viewer
    WithoutPhotosUI, // a version 7 system whose PhotosUI is missing: the plain viewer
    Plain, // the plain viewer, a class no extension knows, on any system
};

// What the command line asks for.
struct ViewerOptions {
    DeviceSettings device;
    HostKind host = HostKind::Full;
    std::optional<std::string> libraryFolder;
    bool script = false;
    bool serve = false;
    ServeSettings serveSettings;
    std::vector<std::string> photos;
};

// The value of --device: "phone", "tablet" or an idiom number; nullopt for
// anything else.
std::optional<NSInteger> parseIdiom(const std::string& text);
// The value of --host: "full", "without-photosui" or "plain".
std::optional<HostKind> parseHostKind(const std::string& text);
// Whether --system's value is a version: numbers separated by dots ("7.1.2").
bool isVersion(const std::string& text);

} // namespace viewer
