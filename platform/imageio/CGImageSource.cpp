#include "imageio/CGImageSource.h"

#include "foundation/NSArray.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "foundation/NSURL.h"
#include "imageio/ImageMetadata.h"
#include "imageio/ImageProperties.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <vector>

struct CGImageSource::Contents {
    imageio::ImageMetadata metadata;
};

QX_DEFINE_CLASS(CGImageSource)
{
}

CGImageSource::CGImageSource(std::unique_ptr<Contents> contents, std::string type)
    : contents_(std::move(contents))
    , type_(std::move(type))
{
}

CGImageSource::~CGImageSource() = default;

namespace {

void prepareMetadataLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The reader reports nothing; damaged files simply give fewer values.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::enableBMFF(true);
    });
}

struct FormatType {
    int imageType;
    const char* identifier;
};

// The formats read as still images. Metadata sidecars (XMP, EXV), EPS
// documents, PGF and the video containers are recognised by the metadata
// library but are not images the reader offers; the video parsers are also
// the library's least hardened (some malformed files abort the process).
constexpr FormatType formatTypes[] = {
    { Exiv2::ImageType::jpeg, "public.jpeg" },
    { Exiv2::ImageType::tiff, "public.tiff" },
    { Exiv2::ImageType::png, "public.png" },
    { Exiv2::ImageType::webp, "org.webmproject.webp" },
    { Exiv2::ImageType::bmff, "public.heif" },
    { Exiv2::ImageType::gif, "com.compuserve.gif" },
    { Exiv2::ImageType::bmp, "com.microsoft.bmp" },
    { Exiv2::ImageType::jp2, "public.jpeg-2000" },
    { Exiv2::ImageType::psd, "com.adobe.photoshop-image" },
    { Exiv2::ImageType::tga, "com.truevision.tga-image" },
    { Exiv2::ImageType::crw, "com.canon.crw-raw-image" },
    { Exiv2::ImageType::cr2, "com.canon.cr2-raw-image" },
    { Exiv2::ImageType::mrw, "com.konicaminolta.raw-image" },
    { Exiv2::ImageType::raf, "com.fuji.raw-image" },
    { Exiv2::ImageType::orf, "com.olympus.raw-image" },
    { Exiv2::ImageType::rw2, "com.panasonic.rw2-raw-image" },
};

struct ExtensionType {
    std::string_view extension;
    const char* identifier;
};

// Raw formats built on TIFF carry TIFF's signature; their extension tells them apart.
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

// The type of an ISO base media file from its 'ftyp' box: the major brand if
// it names a coding, else the first compatible brand that does (files
// branded 'mif1' list the coding there), else generic HEIF when a generic
// image brand is listed. Nothing when the file does not say it is an image.
std::optional<std::string> bmffIdentifier(const std::string& path)
{
    std::array<unsigned char, 64> head {};
    size_t length = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        length = std::fread(head.data(), 1, head.size(), file);
        std::fclose(file);
    }
    auto brandAt = [&](size_t offset) { return std::string_view(reinterpret_cast<const char*>(head.data()) + offset, 4); };
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

std::string tiffIdentifier(const Exiv2::Image& image, const std::string& path)
{
    // A DNG says so in its first directory, whatever the file is called.
    constexpr uint16_t dngVersionTag = 0xc612;
    const auto& exif = image.exifData();
    bool isDng = std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& datum) { return datum.tag() == dngVersionTag && datum.groupName() == "Image"; });
    if (isDng)
        return "com.adobe.raw-image";
    std::string extension = NSString::stringWithUTF8String(path)->pathExtension()->lowercaseString()->str();
    for (const auto& row : tiffRawTypes) {
        if (row.extension == extension)
            return row.identifier;
    }
    return "public.tiff";
}

const char* baseIdentifier(int imageType)
{
    for (const auto& row : formatTypes) {
        if (row.imageType == imageType)
            return row.identifier;
    }
    return nullptr;
}

Ref<NSNumber> numberObject(const imageio::Number& number)
{
    if (const auto* integer = std::get_if<long long>(&number))
        return NSNumber::numberWithLongLong(*integer);
    return NSNumber::numberWithDouble(std::get<double>(number));
}

Ref<NSObject> valueObject(const imageio::PropertyValue& value)
{
    if (const auto* number = std::get_if<imageio::Number>(&value))
        return numberObject(*number);
    if (const auto* numbers = std::get_if<std::vector<imageio::Number>>(&value)) {
        auto array = NSMutableArray::array();
        for (const auto& element : *numbers)
            array->addObject(numberObject(element));
        return array;
    }
    return NSString::stringWithUTF8String(std::get<std::string>(value));
}

void addSection(NSMutableDictionary* properties, const imageio::Section& section, const char* key)
{
    if (!section)
        return;
    auto dictionary = NSMutableDictionary::dictionary();
    for (const auto& property : *section)
        dictionary->setObjectForKey(valueObject(property.value), property.key);
    properties->setObjectForKey(dictionary, key);
}

Ref<NSDictionary> makeProperties(const imageio::ImageMetadata& metadata)
{
    auto properties = NSMutableDictionary::dictionary();
    if (metadata.pixelWidth)
        properties->setObjectForKey(NSNumber::numberWithLongLong(*metadata.pixelWidth), kCGImagePropertyPixelWidth);
    if (metadata.pixelHeight)
        properties->setObjectForKey(NSNumber::numberWithLongLong(*metadata.pixelHeight), kCGImagePropertyPixelHeight);
    if (metadata.orientation)
        properties->setObjectForKey(numberObject(*metadata.orientation), kCGImagePropertyOrientation);
    addSection(properties, metadata.tiff, kCGImagePropertyTIFFDictionary);
    addSection(properties, metadata.exif, kCGImagePropertyExifDictionary);
    addSection(properties, metadata.gps, kCGImagePropertyGPSDictionary);
    return properties;
}

Ref<CGImageSource> openImageSource(const std::string& path)
{
    prepareMetadataLibrary();
    // A file stream of our own, so a path never reaches the library's
    // URL-aware opening (a name like "http://..." stays a file name).
    // exiv2 0.27 takes the stream as a std::auto_ptr, deprecated since C++17;
    // its API has no other way to hand one over, so naming it is allowed here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::BasicIo::AutoPtr io(new Exiv2::FileIo(path));
#pragma GCC diagnostic pop
    auto image = Exiv2::ImageFactory::open(io);
    if (!image.get())
        return nullptr;
    // The format is settled before the metadata is read, so that a file that
    // is not an image is never parsed.
    const char* identifier = baseIdentifier(image->imageType());
    if (!identifier)
        return nullptr;
    std::string type = identifier;
    if (image->imageType() == Exiv2::ImageType::bmff) {
        auto brandType = bmffIdentifier(path);
        if (!brandType)
            return nullptr;
        type = std::move(*brandType);
    }
    image->readMetadata();

    auto contents = std::make_unique<CGImageSource::Contents>();
    contents->metadata = imageio::extractMetadata(*image);
    if (image->imageType() == Exiv2::ImageType::tiff)
        type = tiffIdentifier(*image, path);
    return make_object<CGImageSource>(std::move(contents), std::move(type));
}

} // namespace

namespace {

// What tells one version of a file from another: a file rewritten in place
// or replaced changes its size, its times or its inode.
struct FileVersion {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified {};
    timespec changed {};

    explicit FileVersion(const struct stat& status)
        : device(status.st_dev)
        , inode(status.st_ino)
        , size(status.st_size)
        , modified(status.st_mtim)
        , changed(status.st_ctim)
    {
    }
    bool operator==(const FileVersion& other) const
    {
        auto same = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
        return device == other.device && inode == other.inode && size == other.size && same(modified, other.modified)
            && same(changed, other.changed);
    }
};

// The source opened last. A photo is read several times in a row (its
// size, its facts, its capture date); while its file is unchanged those
// reads share one parse. Sources are never changed once made, so sharing
// one is safe on any thread.
class RecentSource {
public:
    Ref<CGImageSource> find(const std::string& path, const FileVersion& version)
    {
        std::lock_guard guard(lock_);
        return source_ && path_ == path && version_ == version ? source_ : nullptr;
    }
    void keep(const std::string& path, const FileVersion& version, const Ref<CGImageSource>& source)
    {
        std::lock_guard guard(lock_);
        path_ = path;
        version_ = version;
        source_ = source;
    }

private:
    std::mutex lock_;
    std::string path_;
    std::optional<FileVersion> version_;
    Ref<CGImageSource> source_;
};

RecentSource& recentSource()
{
    // Never destroyed: a source released during exit could outlive the runtime.
    static auto* recent = new RecentSource;
    return *recent;
}

} // namespace

Ref<CGImageSource> CGImageSourceCreateWithURL(const NSURL* url, const NSDictionary*)
{
    if (!url || !url->isFileURL())
        return nullptr;
    const std::string& path = url->filePath();
    struct stat status { };
    // Only regular files: opening a FIFO or a device could block or never end.
    if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    const FileVersion version(status);
    if (auto recent = recentSource().find(path, version))
        return recent;
    try {
        auto source = openImageSource(path);
        if (source)
            recentSource().keep(path, version, source);
        return source;
    } catch (const Exiv2::AnyError&) {
    } catch (const std::exception&) {
    } catch (...) {
    }
    return nullptr;
}

Ref<NSDictionary> CGImageSourceCopyPropertiesAtIndex(const CGImageSource* source, size_t index, const NSDictionary*)
{
    if (!source || index != 0 || !source->contents_)
        return nullptr;
    try {
        return makeProperties(source->contents_->metadata);
    } catch (...) {
        return nullptr;
    }
}

const char* CGImageSourceGetType(const CGImageSource* source)
{
    return source ? source->type().c_str() : nullptr;
}
