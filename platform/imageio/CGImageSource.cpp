#include "imageio/CGImageSource.h"

#include "foundation/NSArray.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "foundation/NSURL.h"
#include "imageio/FullReader.h"
#include "imageio/ImageMetadata.h"
#include "imageio/ImageProperties.h"
#include "imageio/LeanReader.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <vector>

struct CGImageSource::Contents {
    imageio::ImageMetadata metadata;
    // The file's properties as immutable objects, made for the first caller
    // and shared by all: a photo's properties are asked for several times
    // in a row (its table, its capture date, its size), and none of them can
    // change what the next one reads.
    std::once_flag madeProperties;
    Ref<NSDictionary> properties;
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
        return NSArray::arrayWithArray(array);
    }
    return NSString::stringWithUTF8String(std::get<std::string>(value));
}

Ref<NSDictionary> sectionDictionary(const imageio::Section& section)
{
    if (!section)
        return nullptr;
    auto dictionary = NSMutableDictionary::dictionaryWithCapacity(section->size());
    for (const auto& property : *section)
        dictionary->setObjectForKey(valueObject(property.value), property.key);
    return NSDictionary::dictionaryWithDictionary(dictionary);
}

const Ref<NSDictionary>& sharedProperties(CGImageSource::Contents& contents)
{
    std::call_once(contents.madeProperties, [&contents] {
        const auto& metadata = contents.metadata;
        auto properties = NSMutableDictionary::dictionaryWithCapacity(8);
        if (metadata.pixelWidth)
            properties->setObjectForKey(NSNumber::numberWithLongLong(*metadata.pixelWidth), kCGImagePropertyPixelWidth);
        if (metadata.pixelHeight)
            properties->setObjectForKey(NSNumber::numberWithLongLong(*metadata.pixelHeight), kCGImagePropertyPixelHeight);
        if (metadata.orientation)
            properties->setObjectForKey(numberObject(*metadata.orientation), kCGImagePropertyOrientation);
        if (metadata.shownWidth && metadata.shownHeight) {
            properties->setObjectForKey(NSNumber::numberWithLongLong(*metadata.shownWidth), kQXImagePropertyShownWidth);
            properties->setObjectForKey(NSNumber::numberWithLongLong(*metadata.shownHeight), kQXImagePropertyShownHeight);
        }
        properties->setObjectForKey(sectionDictionary(metadata.tiff), kCGImagePropertyTIFFDictionary);
        properties->setObjectForKey(sectionDictionary(metadata.exif), kCGImagePropertyExifDictionary);
        properties->setObjectForKey(sectionDictionary(metadata.gps), kCGImagePropertyGPSDictionary);
        contents.properties = NSDictionary::dictionaryWithDictionary(properties);
    });
    return contents.properties;
}

// The lean reader first; the full reader for what it leaves alone.
// QUORIX_IMAGE_READER=full in the environment skips the lean reader, to
// compare the two on a file.
Ref<CGImageSource> openImageSource(const std::string& path)
{
    static const bool leanEnabled = [] {
        const char* choice = std::getenv("QUORIX_IMAGE_READER");
        return !(choice && std::string_view(choice) == "full");
    }();
    std::optional<imageio::ImageContents> contents;
    if (leanEnabled)
        contents = imageio::readLean(path);
    if (!contents)
        contents = imageio::readFull(path);
    if (!contents)
        return nullptr;
    auto held = std::make_unique<CGImageSource::Contents>();
    held->metadata = std::move(contents->metadata);
    return make_object<CGImageSource>(std::move(held), std::move(contents->type));
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
        return sharedProperties(*source->contents_);
    } catch (...) {
        return nullptr;
    }
}

const char* CGImageSourceGetType(const CGImageSource* source)
{
    return source ? source->type().c_str() : nullptr;
}
