#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace viewer {

// What the page's map asks the viewer besides the snapshot:
//   GET /place?latitude=DEGREES&longitude=DEGREES
//       {"place": {"name", "country", "distance_km"}}, or {"place": null}
//       when no town is near (places/NearestPlace.h)
//   GET /map-settings
//       {"tiles": URL-TEMPLATE}, the tile server the person opted in to, or
//       {"tiles": null}: the map is drawn from the basemap alone
// Neither touches the UI, so the server answers them on its own thread.
struct MapAnswer {
    unsigned status;
    std::string type;
    std::string body;
};
using QueryValue = std::function<std::optional<std::string_view>(const char* name)>;

// The answer to a GET of `path` when it is one of the map's, else none.
std::optional<MapAnswer> answerMapRequest(std::string_view path, const QueryValue& query, const std::optional<std::string>& tiles);

// Whether `text` is a tile server's address the page can hand to the map:
// http or https, with the {z}, {x} and {y} it fills in and no other field
// but {s} and {r}, no user information, and no blanks, quotes, backslashes
// or control characters.
bool isTileTemplate(std::string_view text);

} // namespace viewer
