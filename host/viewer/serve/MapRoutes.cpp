#include "MapRoutes.h"

#include "PlaceJson.h"

#include <nlohmann/json.hpp>

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
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

MapAnswer json(const nlohmann::ordered_json& reply)
{
    return { 200, "application/json", reply.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) };
}

} // namespace

bool isTileTemplate(std::string_view text)
{
    if (!text.starts_with("https://") && !text.starts_with("http://"))
        return false;
    for (std::string_view field : { "{z}", "{x}", "{y}" }) {
        if (text.find(field) == std::string_view::npos)
            return false;
    }
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
