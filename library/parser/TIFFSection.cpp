#include "parser/QXParser.h"

#include "imageio/ImageProperties.h"
#include "parser/SectionRows.h"
#include "parser/Vocabularies.h"

using quorix::parser::addRow;

namespace {

// The unit written after both resolutions: dots per inch unless the file
// says centimetres (3) or explicitly no unit (0). A unit entry that is not a
// number counts as absent.
const char* resolutionUnit(const NSObject* entry)
{
    auto code = quorix::vocabulary::codeOf(entry);
    if (!code)
        return "dpi";
    switch (*code) {
    case 0:
        return "";
    case 3:
        return "dpcm";
    default:
        return "dpi";
    }
}

} // namespace

void QXParser::getTIFFInfo(const NSDictionary* properties)
{
    const auto* tiff = properties ? properties->objectOfClassForKey<NSDictionary>(kCGImagePropertyTIFFDictionary) : nullptr;
    if (!tiff)
        return;

    auto rows = NSMutableArray::array();
    addRow(rows, "Make", tiff->objectForKey(kCGImagePropertyTIFFMake));
    addRow(rows, "Model", tiff->objectForKey(kCGImagePropertyTIFFModel));
    addRow(rows, "Date Time", tiff->objectForKey(kCGImagePropertyTIFFDateTime));
    if (id code = tiff->objectForKey(kCGImagePropertyTIFFOrientation))
        addRow(rows, "Orientation", send<NSString*>("orientation:"_sel, code));

    // Both resolutions or neither.
    id x = tiff->objectForKey(kCGImagePropertyTIFFXResolution);
    id y = tiff->objectForKey(kCGImagePropertyTIFFYResolution);
    if (x && y) {
        const char* unit = resolutionUnit(tiff->objectForKey(kCGImagePropertyTIFFResolutionUnit));
        addRow(rows, "X Resolution", NSString::stringWithFormat("%@ %s", x, unit));
        addRow(rows, "Y Resolution", NSString::stringWithFormat("%@ %s", y, unit));
    }

    addRow(rows, "Software", tiff->objectForKey(kCGImagePropertyTIFFSoftware));
    send("setTiff:"_sel, rows);
}

Ref<NSString> QXParser::orientation(const NSObject* value) const
{
    return quorix::vocabulary::text(quorix::vocabulary::orientation, value);
}
