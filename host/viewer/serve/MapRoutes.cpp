#include "MapRoutes.h"

#include "PlaceJson.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>

namespace viewer {

namespace {

// A number in degrees written as a query value, and nothing else.
std::optional<double> degrees(const httplib::Request& request, const char* name)
{
    if (!request.has_param(name))
        return std::nullopt;
    const std::string text = request.get_param_value(name);
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

void answer(httplib::Response& response, const nlohmann::ordered_json& reply)
{
    response.set_content(reply.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace), "application/json");
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

void addMapRoutes(httplib::Server& server, const std::optional<std::string>& tiles)
{
    server.Get("/place", [](const httplib::Request& request, httplib::Response& response) {
        const auto latitude = degrees(request, "latitude");
        const auto longitude = degrees(request, "longitude");
        if (!latitude || !longitude || std::abs(*latitude) > 90 || std::abs(*longitude) > 180) {
            response.status = 400;
            response.set_content("latitude and longitude are numbers of degrees\n", "text/plain; charset=utf-8");
            return;
        }
        answer(response, { { "place", places::placeJson(places::nearestPlace(*latitude, *longitude)) } });
    });
    server.Get("/map-settings", [tiles](const httplib::Request&, httplib::Response& response) {
        answer(response, { { "tiles", tiles ? nlohmann::ordered_json(*tiles) : nlohmann::ordered_json(nullptr) } });
    });
}

} // namespace viewer
