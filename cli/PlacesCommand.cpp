#include "cli/PlacesCommand.h"

#include "cli/CaptureDate.h"
#include "cli/InfoScreen.h"
#include "cli/LibraryHost.h"
#include "cli/Listing.h"
#include "cli/PathOptions.h"
#include "cli/PlaceOutput.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>

namespace quorix::cli {

namespace {

using json = nlohmann::ordered_json;

// One feature a line between the collection's opening and closing lines, so
// the file reads as a list and each photo is one line for grep.
class GeoJsonListing final : public Listing {
public:
    // A photo's feature; empty for a photo without a position.
    std::optional<std::string> describe(const std::string& path) const override
    {
        auto description = readInfoScreen(path);
        if (!description.image)
            return std::nullopt;
        if (!description.location)
            return std::string();
        auto date = captureDate(path);
        json feature {
            { "type", "Feature" },
            { "geometry", { { "type", "Point" }, { "coordinates", { description.location->longitude, description.location->latitude } } } },
            { "properties", { { "path", path }, { "date", date ? json(*date) : json(nullptr) }, { "place", places::placeJson(placeOf(description)) } } },
        };
        // Bytes of a path that are not UTF-8 become U+FFFD, as in `info --json`.
        return feature.dump(-1, ' ', false, json::error_handler_t::replace);
    }

    void start(std::ostream& out) override { out << "{\"type\":\"FeatureCollection\",\"features\":["; }

    void write(const std::string& description, std::ostream& out) override
    {
        if (description.empty())
            return;
        out << (first_ ? "\n" : ",\n") << description;
        first_ = false;
    }

    void finish(std::ostream& out) override { out << "\n]}\n"; }

private:
    bool first_ = true;
};

} // namespace

Command addPlacesCommand(CLI::App& app)
{
    auto files = std::make_shared<PathOptions>();
    auto* command = app.add_subcommand("places", "Write the photos with a position as GeoJSON.");
    addPathOptions(*command, *files, "Read");
    return {
        command,
        [files](std::ostream& out, std::ostream& err) {
            if (!libraryClass("QXQuorixViewController", err))
                return int { ExitFailure };
            GeoJsonListing listing;
            return describePaths(files->walk(), listing, files->jobCount(), out, err);
        },
    };
}

} // namespace quorix::cli
