#include "mapkit/MKGeometry.h"

#include "foundation/Format.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double earthMeanRadiusMeters = 6371008.8;

// Rounds to two significant figures: 366 -> 370, 1234 -> 1200, 5.26 -> 5.3.
double roundToTwoFigures(double value)
{
    if (value <= 0)
        return 0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(value)) - 1);
    return std::round(value / magnitude) * magnitude;
}

} // namespace

bool MKCoordinateRegionIsValid(const MKCoordinateRegion& region)
{
    const double values[] = { region.center.latitude, region.center.longitude, region.span.latitudeDelta,
        region.span.longitudeDelta };
    for (double value : values) {
        if (!std::isfinite(value))
            return false;
    }
    return std::abs(region.center.latitude) <= 90 && std::abs(region.center.longitude) <= 180
        && region.span.latitudeDelta >= 0 && region.span.longitudeDelta >= 0;
}

double MKMetersAcrossLongitudeDelta(double longitudeDelta, double latitude)
{
    constexpr double radiansPerDegree = std::numbers::pi / 180;
    return std::abs(longitudeDelta) * radiansPerDegree * earthMeanRadiusMeters * std::cos(latitude * radiansPerDegree);
}

std::string MKScaleText(double meters)
{
    if (!std::isfinite(meters) || meters < 0)
        return {};
    const double rounded = roundToTwoFigures(meters);
    if (rounded < 1000) {
        // Below ten metres the second figure is a decimal.
        return foundation::format(rounded < 10 ? "≈ %.1f m" : "≈ %.0f m", rounded);
    }
    const double kilometers = rounded / 1000;
    return foundation::format(kilometers < 10 ? "≈ %.1f km" : "≈ %.0f km", kilometers);
}
