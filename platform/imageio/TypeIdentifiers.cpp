#include "imageio/TypeIdentifiers.h"

#include "foundation/NSString.h"

#include <string_view>

namespace imageio {

namespace {

struct ExtensionType {
    std::string_view extension;
    const char* identifier;
};

constexpr ExtensionType tiffRawTypes[] = {
    { "dng", "com.adobe.raw-image" },
    { "nef", "com.nikon.raw-image" },
    { "nrw", "com.nikon.nrw-raw-image" },
    { "pef", "com.pentax.raw-image" },
    { "arw", "com.sony.arw-raw-image" },
    { "sr2", "com.sony.sr2-raw-image" },
    { "srf", "com.sony.raw-image" },
    { "srw", "com.samsung.raw-image" },
};

} // namespace

const char* tiffTypeIdentifier(bool hasDngVersion, const std::string& path)
{
    if (hasDngVersion)
        return "com.adobe.raw-image";
    const std::string extension = NSString::stringWithUTF8String(path)->pathExtension()->lowercaseString()->str();
    for (const auto& row : tiffRawTypes) {
        if (row.extension == extension)
            return row.identifier;
    }
    return "public.tiff";
}

} // namespace imageio
