#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace httplib {
class Server;
}

namespace viewer {

// What the page's map asks the viewer besides the snapshot:
//   GET /place?latitude=DEGREES&longitude=DEGREES
//       {"place": {"name", "country", "distance_km"}}, or {"place": null}
//       when no town is near (places/NearestPlace.h)
//   GET /map-settings
//       {"tiles": URL-TEMPLATE}, the tile server the person opted in to, or
//       {"tiles": null}: the map is drawn from the basemap alone
// Neither touches the UI, so they run on the server's threads.
void addMapRoutes(httplib::Server& server, const std::optional<std::string>& tiles);

// Whether `text` is a tile server's address the page can hand to the map:
// http or https, with the {z}, {x} and {y} it fills in, and no blanks,
// quotes, backslashes or control characters.
bool isTileTemplate(std::string_view text);

} // namespace viewer
