#include "viewer/serve/MapRoutes.h"

#include "places/PlaceJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace viewer {

namespace {

// A number in degrees written as a query value, and nothing else.
std::optional<double> degrees(const QueryValue& query, const char* name)
{
    const auto text = query(name);
    if (!text || text->empty())
        return std::nullopt;
    double value = 0;
    const char* end = text->data() + text->size();
    auto [stop, error] = std::from_chars(text->data(), end, value);
    // from_chars reads "nan" and "inf" too, which no range check can refuse.
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

MapAnswer json(const nlohmann::ordered_json& reply)
{
    return { 200, "application/json", reply.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) };
}

// The fields a tile address may hold: zoom, column, row, the server's
// subdomain and its high-resolution suffix.
constexpr std::string_view tileFields[] = { "{z}", "{x}", "{y}", "{s}", "{r}" };

} // namespace

bool isTileTemplate(std::string_view text)
{
    if (!text.starts_with("https://") && !text.starts_with("http://"))
        return false;
    for (std::string_view field : { "{z}", "{x}", "{y}" }) {
        if (text.find(field) == std::string_view::npos)
            return false;
    }
    // The map fills in only the fields it knows; any other leaves it blank.
    for (size_t open = text.find('{'); open != std::string_view::npos; open = text.find('{', open + 1)) {
        const size_t close = text.find('}', open);
        if (close == std::string_view::npos)
            return false;
        const std::string_view field = text.substr(open, close + 1 - open);
        if (std::find(std::begin(tileFields), std::end(tileFields), field) == std::end(tileFields))
            return false;
    }
    if (std::count(text.begin(), text.end(), '}') != std::count(text.begin(), text.end(), '{'))
        return false;
    // A user and password in the address: the browser refuses to send them
    // with an image, so no tile would load, and they would be shown to the page.
    const std::string_view rest = text.substr(text.find("://") + 3);
    if (rest.substr(0, rest.find_first_of("/?#")).find('@') != std::string_view::npos)
        return false;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f || c == '"' || c == '\'' || c == '\\' || c == '<' || c == '>')
            return false;
    }
    return true;
}

std::optional<MapAnswer> answerMapRequest(std::string_view path, const QueryValue& query, const std::optional<std::string>& tiles)
{
    if (path == "/place") {
        const auto latitude = degrees(query, "latitude");
        const auto longitude = degrees(query, "longitude");
        if (!latitude || !longitude || std::abs(*latitude) > 90 || std::abs(*longitude) > 180)
            return MapAnswer { 400, "text/plain; charset=utf-8", "latitude and longitude are numbers of degrees\n" };
        return json({ { "place", places::placeJson(places::nearestPlace(*latitude, *longitude)) } });
    }
    if (path == "/map-settings")
        return json({ { "tiles", tiles ? nlohmann::ordered_json(*tiles) : nlohmann::ordered_json(nullptr) } });
    return std::nullopt;
}

} // namespace viewer
