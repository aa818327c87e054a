#include "viewer/serve/BrowserOpener.h"

#include "foundation/SystemCommand.h"

#include <cstdlib>

namespace viewer {

namespace {

bool isSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

} // namespace

bool hasGraphicalSession() { return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"); }

std::optional<std::string> openInBrowser(const std::string& address)
{
    auto opener = foundation::findExecutable("xdg-open");
    if (!opener)
        return "no xdg-open on PATH";
    if (!foundation::spawnDetached({ *opener, address }))
        return "cannot start " + *opener;
    return std::nullopt;
}

} // namespace viewer
