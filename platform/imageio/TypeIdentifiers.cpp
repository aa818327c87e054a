#include "imageio/TypeIdentifiers.h"

#include "foundation/NSString.h"

#include <algorithm>
#include <string_view>
#include <vector>

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

struct BrandType {
    std::string_view brand;
    const char* identifier;
};

// Brands of the ISO base media file format that mark a still image: the
// codings, then the generic image brands. Files with none of them (MP4 and
// other movies share the container) are not images.
constexpr BrandType brandTypes[] = {
    { "heic", "public.heic" },
    { "heix", "public.heic" },
    { "heim", "public.heic" },
    { "heis", "public.heic" },
    { "hevc", "public.heic" },
    { "hevx", "public.heic" },
    { "avif", "public.avif" },
    { "avis", "public.avif" },
    { "crx ", "com.canon.cr3-raw-image" },
    { "jxl ", "public.jpeg-xl" },
};

constexpr std::string_view genericImageBrands[] = { "mif1", "msf1", "miaf" };

const char* identifierForBrand(std::string_view brand)
{
    for (const auto& row : brandTypes) {
        if (row.brand == brand)
            return row.identifier;
    }
    return nullptr;
}

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

// Files branded 'mif1' list their coding among the compatible brands; only
// the first 64 bytes are looked at.
std::optional<std::string> bmffTypeIdentifier(const uint8_t* head, size_t length)
{
    length = std::min<size_t>(length, 64);
    auto brandAt = [&](size_t offset) { return std::string_view(reinterpret_cast<const char*>(head) + offset, 4); };
    if (length < 16 || brandAt(4) != "ftyp")
        return std::nullopt;
    const size_t boxSize = (size_t { head[0] } << 24) | (size_t { head[1] } << 16) | (size_t { head[2] } << 8) | head[3];
    const size_t end = std::min(boxSize, length);

    std::vector<std::string_view> brands { brandAt(8) };
    for (size_t offset = 16; offset + 4 <= end; offset += 4)
        brands.push_back(brandAt(offset));
    for (auto brand : brands) {
        if (const char* identifier = identifierForBrand(brand))
            return identifier;
    }
    for (auto brand : brands) {
        if (std::find(std::begin(genericImageBrands), std::end(genericImageBrands), brand) != std::end(genericImageBrands))
            return "public.heif";
    }
    return std::nullopt;
}

} // namespace imageio
