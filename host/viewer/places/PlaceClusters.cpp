#include "viewer/places/PlaceClusters.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace places {

namespace {

// Web Mercator stops short of the poles, where y grows without end.
constexpr double maximumLatitude = 85.0511287798;
constexpr double worldSide = 256;

double scaleAt(int zoom) { return std::ldexp(1.0, zoom); }

double clampedLatitude(double latitude) { return std::clamp(latitude, -maximumLatitude, maximumLatitude); }

} // namespace

double worldX(double longitude) { return (longitude + 180) / 360 * worldSide; }

double worldY(double latitude)
{
    const double radians = clampedLatitude(latitude) * std::numbers::pi / 180;
    return (1 - std::log(std::tan(radians) + 1 / std::cos(radians)) / std::numbers::pi) / 2 * worldSide;
}

double longitudeAt(double x) { return x / worldSide * 360 - 180; }

double latitudeAt(double y)
{
    const double n = std::numbers::pi * (1 - 2 * y / worldSide);
    return std::atan(std::sinh(n)) * 180 / std::numbers::pi;
}

Box boxOf(const Region& region)
{
    const double scale = scaleAt(region.zoom);
    const double halfWidth = region.width / 2 / scale;
    const double halfHeight = region.height / 2 / scale;
    const double x = worldX(region.centre.longitude);
    const double y = worldY(region.centre.latitude);
    // The map does not wrap round: a region wider than the world ends at its edges.
    Box box;
    box.south_west = { latitudeAt(std::min(worldSide, y + halfHeight)), longitudeAt(std::max(0.0, x - halfWidth)) };
    box.north_east = { latitudeAt(std::max(0.0, y - halfHeight)), longitudeAt(std::min(worldSide, x + halfWidth)) };
    if (y + halfHeight >= worldSide)
        box.south_west.latitude = -90;
    if (y - halfHeight <= 0)
        box.north_east.latitude = 90;
    return box;
}

PlaceClusters::PlaceClusters(std::vector<PlacedPhoto> photos)
    : photos_(std::move(photos))
{
    std::sort(photos_.begin(), photos_.end(), [](const PlacedPhoto& a, const PlacedPhoto& b) {
        return a.position.longitude != b.position.longitude ? a.position.longitude < b.position.longitude : a.photo < b.photo;
    });
}

std::vector<Cluster> PlaceClusters::clustersIn(const Region& region) const
{
    const Box box = boxOf(region);
    const double scale = scaleAt(region.zoom);
    std::map<std::pair<long long, long long>, Cluster> cells;
    auto first = std::lower_bound(photos_.begin(), photos_.end(), box.south_west.longitude,
        [](const PlacedPhoto& photo, double longitude) { return photo.position.longitude < longitude; });
    for (auto it = first; it != photos_.end() && it->position.longitude <= box.north_east.longitude; ++it) {
        const Position& p = it->position;
        if (!box.contains(p))
            continue;
        const auto column = static_cast<long long>(std::floor(worldX(p.longitude) * scale / cellSide));
        const auto row = static_cast<long long>(std::floor(worldY(p.latitude) * scale / cellSide));
        auto [entry, added] = cells.try_emplace({ column, row });
        Cluster& cluster = entry->second;
        if (added) {
            cluster.representative = it->photo;
            cluster.span = { p, p };
        }
        ++cluster.count;
        // The running sum; divided by the count below.
        cluster.position.latitude += p.latitude;
        cluster.position.longitude += p.longitude;
        cluster.representative = std::min(cluster.representative, it->photo);
        cluster.span.south_west = { std::min(cluster.span.south_west.latitude, p.latitude), std::min(cluster.span.south_west.longitude, p.longitude) };
        cluster.span.north_east = { std::max(cluster.span.north_east.latitude, p.latitude), std::max(cluster.span.north_east.longitude, p.longitude) };
    }
    std::vector<Cluster> clusters;
    clusters.reserve(cells.size());
    for (auto& [cell, cluster] : cells) {
        // Kept within the span: the mean of equal values may round past them.
        cluster.position.latitude = std::clamp(cluster.position.latitude / double(cluster.count), cluster.span.south_west.latitude,
            cluster.span.north_east.latitude);
        cluster.position.longitude = std::clamp(cluster.position.longitude / double(cluster.count), cluster.span.south_west.longitude,
            cluster.span.north_east.longitude);
        clusters.push_back(cluster);
    }
    std::sort(clusters.begin(), clusters.end(), [](const Cluster& a, const Cluster& b) { return a.representative < b.representative; });
    return clusters;
}

namespace {

// The centre of `span` and the largest zoom, up to `closest`, at which it
// fits `width` by `height` points with half a cell to spare on every side.
Region fit(const Box& span, double width, double height, int closest)
{
    const double left = worldX(span.south_west.longitude);
    const double right = worldX(span.north_east.longitude);
    const double top = worldY(span.north_east.latitude);
    const double bottom = worldY(span.south_west.latitude);
    int zoom = minimumZoom;
    while (zoom < closest) {
        const double scale = scaleAt(zoom + 1);
        if ((right - left) * scale > width - cellSide || (bottom - top) * scale > height - cellSide)
            break;
        ++zoom;
    }
    return { { latitudeAt((top + bottom) / 2), longitudeAt((left + right) / 2) }, zoom, width, height };
}

// A single place is shown this close: a street, not a doorway.
constexpr int closestFit = 16;

} // namespace

std::optional<Region> PlaceClusters::regionShowingAll(double width, double height) const
{
    if (photos_.empty())
        return std::nullopt;
    Box span { photos_.front().position, photos_.front().position };
    for (const auto& photo : photos_) {
        span.south_west.latitude = std::min(span.south_west.latitude, photo.position.latitude);
        span.north_east.latitude = std::max(span.north_east.latitude, photo.position.latitude);
    }
    span.north_east.longitude = photos_.back().position.longitude;
    return fit(span, width, height, closestFit);
}

Region PlaceClusters::regionShowing(const Cluster& cluster, const Region& from)
{
    Region region = fit(cluster.span, from.width, from.height, maximumZoom);
    region.zoom = std::clamp(region.zoom, std::min(from.zoom + 1, maximumZoom), maximumZoom);
    return region;
}

} // namespace places
