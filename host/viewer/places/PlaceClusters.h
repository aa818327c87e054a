#pragma once

// The Places map's model: where the album's photos were taken, and the
// clusters that stand for them in the region on screen.
//
// The map is Web Mercator: at zoom z the world is 256·2^z points square,
// x growing east from longitude -180 and y growing south from latitude
// 85.05. Clusters are the cells of a grid fixed to the world (not to the
// screen), each `cellSide` points square, so panning moves the clusters
// with the map instead of regrouping them. The photos are kept sorted by
// their world x at zoom 0, so a region's photos are found by a binary
// search instead of a pass over all of them.

#include <cstddef>
#include <optional>
#include <vector>

namespace places {

struct Position {
    double latitude = 0;
    double longitude = 0;
};

// A photo of the album with a position: its index in the album and where.
struct PlacedPhoto {
    size_t photo = 0;
    Position position;
};

// The part of the map on screen: its centre, its zoom and its size in points.
struct Region {
    Position centre;
    int zoom = 0;
    double width = 0;
    double height = 0;
};

// A region's edges in degrees.
struct Box {
    Position south_west;
    Position north_east;
    bool contains(Position p) const
    {
        return p.latitude >= south_west.latitude && p.latitude <= north_east.latitude && p.longitude >= south_west.longitude
            && p.longitude <= north_east.longitude;
    }
};
Box boxOf(const Region& region);

// What stands for one or more photos on the map.
struct Cluster {
    size_t count = 0;
    Position position; // the mean of its photos' positions
    size_t representative = 0; // the album index of the photo shown on it
    Box span; // the box its photos' positions span, for zooming to it
};

inline constexpr int minimumZoom = 0;
inline constexpr int maximumZoom = 18;
// A cluster's cell: a thumbnail-sized square, so clusters never overlap.
inline constexpr double cellSide = 64;

// World coordinates in points at zoom 0 (multiply by 2^zoom).
double worldX(double longitude);
double worldY(double latitude);
double longitudeAt(double x);
double latitudeAt(double y);

class PlaceClusters {
public:
    explicit PlaceClusters(std::vector<PlacedPhoto> photos);

    size_t photoCount() const { return photos_.size(); }
    // The clusters of the photos inside `region`, ordered by their
    // representative photo.
    std::vector<Cluster> clustersIn(const Region& region) const;
    // The region, `width` by `height` points, that shows every photo at the
    // largest zoom that holds them; nullopt when there is no photo.
    std::optional<Region> regionShowingAll(double width, double height) const;
    // The region that shows the cluster's photos, at least one zoom closer
    // than `from` (so a tap always splits or comes nearer).
    static Region regionShowing(const Cluster& cluster, const Region& from);

private:
    std::vector<PlacedPhoto> photos_; // sorted by longitude
};

} // namespace places
