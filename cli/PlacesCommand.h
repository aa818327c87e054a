#pragma once

#include "cli/Command.h"

namespace quorix::cli {

// `quorix places [-r] [-j N] PATH...`: the photos with a position as one
// GeoJSON (RFC 7946) FeatureCollection, a Point feature a photo in the
// files' order, [longitude, latitude], with the photo's path, its capture
// date and its place as properties. Photos without a position are left out;
// paths that cannot be described are reported as `quorix info` reports them.
Command addPlacesCommand(CLI::App& app);

} // namespace quorix::cli
