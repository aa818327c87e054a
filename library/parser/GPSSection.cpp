#include "parser/QXParser.h"

#include "foundation/NSNumber.h"
#include "imageio/ImageProperties.h"
#include "parser/SectionRows.h"

#include <cctype>
#include <cmath>
#include <optional>

using quorix::parser::addRow;

namespace {

// One coordinate of the file's GPS dictionary in signed degrees. The file
// stores the magnitude and the hemisphere apart, so a south latitude or a
// west longitude turns negative. A value that is not a finite number counts
// as absent.
std::optional<double> signedDegrees(const NSDictionary* gps, const char* key, const char* referenceKey, char negativeReference)
{
    const auto* number = gps->objectOfClassForKey<NSNumber>(key);
    if (!number)
        return std::nullopt;
    double degrees = number->doubleValue();
    if (!std::isfinite(degrees))
        return std::nullopt;
    const auto* reference = gps->objectOfClassForKey<NSString>(referenceKey);
    if (reference && reference->str().size() == 1 && std::toupper(static_cast<unsigned char>(reference->str()[0])) == negativeReference)
        degrees = -std::fabs(degrees);
    return degrees;
}

// Latitudes run from -90 to 90 degrees and longitudes from -180 to 180; a
// coordinate outside them (or not a number) names no place, so it counts as
// no position at all, as a missing one does.
bool onTheGlobe(CLLocationCoordinate2D coordinate)
{
    return std::fabs(coordinate.latitude) <= 90 && std::fabs(coordinate.longitude) <= 180;
}

Ref<CLLocation> fileLocation(const NSDictionary* properties)
{
    const auto* gps = properties ? properties->objectOfClassForKey<NSDictionary>(kCGImagePropertyGPSDictionary) : nullptr;
    if (!gps)
        return nullptr;
    auto latitude = signedDegrees(gps, kCGImagePropertyGPSLatitude, kCGImagePropertyGPSLatitudeRef, 'S');
    auto longitude = signedDegrees(gps, kCGImagePropertyGPSLongitude, kCGImagePropertyGPSLongitudeRef, 'W');
    if (!latitude || !longitude || !onTheGlobe({ *latitude, *longitude }))
        return nullptr;
    return CLLocation::initWithLatitudeLongitude(*latitude, *longitude);
}

} // namespace

void QXParser::getGPSInfo(const NSDictionary* properties)
{
    // The host's own record of the position wins over the file's.
    Ref<CLLocation> position = objc::send<CLLocation*>(asset_, "location"_sel);
    if (position && !onTheGlobe(position->coordinate()))
        position = nullptr;
    if (!position)
        position = fileLocation(properties);
    if (!position)
        return;
    send("setLocation:"_sel, position);

    CLLocationCoordinate2D coordinate = position->coordinate();
    auto rows = NSMutableArray::array();
    addRow(rows, "Location", NSString::stringWithFormat("%.6f, %.6f", coordinate.latitude, coordinate.longitude));
    // The info screen acts on these two by position; they show a disclosure mark, no value.
    addRow(rows, "Show Location", NSString::string());
    addRow(rows, "Show Location in Maps app", NSString::string());
    send("setGps:"_sel, rows);
}
