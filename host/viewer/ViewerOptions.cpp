#include "viewer/ViewerOptions.h"

#include "uikit/UIDevice.h"

#include <charconv>

namespace viewer {

std::optional<NSInteger> parseIdiom(const std::string& text)
{
    if (text == "phone")
        return UIUserInterfaceIdiomPhone;
    if (text == "tablet")
        return UIUserInterfaceIdiomPad;
    NSInteger idiom = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, idiom);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return idiom;
}

bool isVersion(const std::string& text)
{
    bool digitBefore = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digitBefore = true;
        } else if (c == '.' && digitBefore) {
            digitBefore = false;
        } else {
            return false;
        }
    }
    return digitBefore;
}

std::optional<HostKind> parseHostKind(const std::string& text)
{
    if (text == "full")
        return HostKind::Full;
    if (text == "without-photosui")
        return HostKind::WithoutPhotosUI;
    if (text == "plain")
        return HostKind::Plain;
    return std::nullopt;
}

} // namespace viewer
