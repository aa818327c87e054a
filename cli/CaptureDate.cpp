#include "cli/CaptureDate.h"

#include "foundation/NSDictionary.h"
#include "foundation/NSString.h"
#include "foundation/NSURL.h"
#include "imageio/CGImageSource.h"
#include "imageio/ImageProperties.h"
#include "runtime/AutoreleasePool.h"

#include <cctype>

namespace quorix::cli {

namespace {

// The number of `length` digits at `offset`, if they are all digits and it
// lies within [low, high].
std::optional<int> numberAt(std::string_view text, size_t offset, size_t length, int low, int high)
{
    if (offset + length > text.size())
        return std::nullopt;
    int value = 0;
    for (char c : text.substr(offset, length)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

// Text values may keep the NUL that ended them in the file, and padding.
std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == ' '))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<std::string> isoDate(std::string_view exifDate, std::string_view exifOffset)
{
    // "YYYY:MM:DD HH:MM:SS"
    exifDate = trimmed(exifDate);
    if (exifDate.size() != 19 || exifDate[4] != ':' || exifDate[7] != ':' || exifDate[10] != ' ' || exifDate[13] != ':' || exifDate[16] != ':')
        return std::nullopt;
    if (!numberAt(exifDate, 0, 4, 1, 9999) || !numberAt(exifDate, 5, 2, 1, 12) || !numberAt(exifDate, 8, 2, 1, 31)
        || !numberAt(exifDate, 11, 2, 0, 23) || !numberAt(exifDate, 14, 2, 0, 59) || !numberAt(exifDate, 17, 2, 0, 60))
        return std::nullopt;
    std::string iso(exifDate);
    iso[4] = '-';
    iso[7] = '-';
    iso[10] = 'T';

    // "+HH:MM" or "-HH:MM"; the widest offsets in use are -12:00 and +14:00.
    exifOffset = trimmed(exifOffset);
    if (exifOffset.size() == 6 && (exifOffset[0] == '+' || exifOffset[0] == '-') && exifOffset[3] == ':'
        && numberAt(exifOffset, 1, 2, 0, 14) && numberAt(exifOffset, 4, 2, 0, 59))
        iso += exifOffset;
    return iso;
}

std::optional<std::string> captureDate(const std::string& path)
{
    AutoreleasePool pool;
    auto url = NSURL::fileURLWithPath(path);
    auto source = url ? CGImageSourceCreateWithURL(url.get(), nullptr) : nullptr;
    auto properties = source ? CGImageSourceCopyPropertiesAtIndex(source.get(), 0, nullptr) : nullptr;
    const auto* exif = properties ? properties->objectOfClassForKey<NSDictionary>(kCGImagePropertyExifDictionary) : nullptr;
    const auto* date = exif ? exif->objectOfClassForKey<NSString>(kCGImagePropertyExifDateTimeOriginal) : nullptr;
    if (!date)
        return std::nullopt;
    const auto* offset = exif->objectOfClassForKey<NSString>(kCGImagePropertyExifOffsetTimeOriginal);
    return isoDate(date->str(), offset ? std::string_view(offset->str()) : std::string_view());
}

} // namespace quorix::cli
