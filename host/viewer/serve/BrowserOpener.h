#pragma once

#include <optional>
#include <string>

namespace viewer {

// Whether the person sits at a graphical session a browser can open in
// (DISPLAY or WAYLAND_DISPLAY is set and not empty).
bool hasGraphicalSession();

// Hands `address` to the desktop's opener, `xdg-open`, without waiting for
// it; the reason when it cannot.
std::optional<std::string> openInBrowser(const std::string& address);

} // namespace viewer
