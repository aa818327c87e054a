#include "imageio/FullReader.h"

#include "imageio/full/LibraryValue.h"
#include "imageio/FileWindow.h"
#include "imageio/LeanReader.h"
#include "imageio/PictureSize.h"
#include "imageio/TypeIdentifiers.h"

#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace imageio {

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

// The type of an ISO base media file from its 'ftyp' box; nothing when the
// file does not say it is an image.
std::optional<std::string> bmffIdentifier(const std::string& path)
{
    std::array<unsigned char, 64> head {};
    size_t length = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        length = std::fread(head.data(), 1, head.size(), file);
        std::fclose(file);
    }
    return bmffTypeIdentifier(head.data(), length);
}

std::string tiffIdentifier(const Exiv2::Image& image, const std::string& path)
{
    constexpr uint16_t dngVersionTag = 0xc612;
    const auto& exif = image.exifData();
    bool isDng = std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& datum) { return datum.tag() == dngVersionTag && datum.groupName() == "Image"; });
    return imageio::tiffTypeIdentifier(isDng, path);
}

const char* baseIdentifier(int imageType)
{
    for (const auto& row : formatTypes) {
        if (row.imageType == imageType)
            return row.identifier;
    }
    return nullptr;
}

// The picture's own size where the library would take another: a JPEG's
// frame header, found as the lean reader finds it (the library finds one in
// a damaged file's junk), and a HEIF's primary item (the library takes the
// EXIF block's size, or the largest item's). Nothing for other formats,
// whose size the library reads from their own header.
std::optional<PictureSize> structuralSize(const Exiv2::Image& image, const std::string& path)
{
    const int type = image.imageType();
    if (type != Exiv2::ImageType::jpeg && type != Exiv2::ImageType::bmff)
        return std::nullopt;
    auto file = FileWindow::open(path);
    if (!file)
        return PictureSize {};
    auto size = type == Exiv2::ImageType::jpeg ? jpegPictureSize(*file) : heifPictureSize(*file);
    return size.value_or(PictureSize {});
}

// A file larger than this is not read into memory again.
constexpr uint64_t kLargestReread = 256 << 20;

// Reads the image's metadata. The library gives up on a file at an XMP
// packet it cannot decode (a value of a type it does not know, a language
// alternative it cannot read), wherever the packet is: before a JPEG's EXIF
// segment, in a TIFF's first directory, in a HEIF's item, where it reports
// the file's data as unreadable. A file it gives up on is read again from a
// copy in memory whose XMP is unmarked, so that a damaged packet, which the
// table never shows, costs the photo none of its entries; damage elsewhere
// fails the copy too. The copy is returned then; otherwise nothing.
std::unique_ptr<Exiv2::Image> readMetadata(Exiv2::Image& image, const std::string& path)
{
    try {
        image.readMetadata();
        return nullptr;
    } catch (const Exiv2::AnyError&) {
    }
    auto file = FileWindow::open(path);
    std::vector<uint8_t> bytes;
    if (!file || file->size() > kLargestReread || !file->read(0, static_cast<size_t>(file->size()), bytes))
        throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    const auto marks = xmpMarks(*file);
    if (marks.empty())
        throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    for (const XmpMark& mark : marks)
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(mark.offset), mark.length, uint8_t { 0 });
    auto copy = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
    if (!copy.get() || copy->imageType() != image.imageType())
        throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    copy->readMetadata();
    return std::unique_ptr<Exiv2::Image>(copy.release());
}

// The table's values of an image whose metadata has been read.
ImageMetadata extractMetadata(Exiv2::Image& image, const std::string& path)
{
    EntryCollector collector;
    std::vector<uint8_t> bytes;
    for (const Exiv2::Exifdatum& datum : image.exifData()) {
        const std::string group = datum.groupName();
        std::optional<Directory> directory;
        if (group == "Image")
            directory = Directory::Image;
        else if (group == "Photo")
            directory = Directory::Photo;
        else if (group == "GPSInfo")
            directory = Directory::GPSInfo;
        if (!directory)
            continue;
        // A datum without a value (possible in a damaged directory) still
        // marks its section as present; its own entry is left out.
        std::optional<RawValue> value;
        try {
            value = rawValueOf(datum.value(), bytes);
        } catch (const Exiv2::AnyError&) {
            value = std::nullopt;
        }
        collector.add(*directory, datum.tag(), value ? &*value : nullptr);
    }
    if (auto size = structuralSize(image, path))
        return collector.finish(size->stored.width, size->stored.height, size->shown);
    return collector.finish(image.pixelWidth(), image.pixelHeight());
}

std::optional<ImageContents> readWithLibrary(const std::string& path)
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
        return std::nullopt;
    // The format is settled before the metadata is read, so that a file that
    // is not an image is never parsed.
    const char* identifier = baseIdentifier(image->imageType());
    if (!identifier)
        return std::nullopt;
    std::string type = identifier;
    if (image->imageType() == Exiv2::ImageType::bmff) {
        auto brandType = bmffIdentifier(path);
        if (!brandType)
            return std::nullopt;
        type = std::move(*brandType);
    }
    auto reread = readMetadata(*image, path);
    Exiv2::Image& read = reread ? *reread : *image;

    ImageContents contents;
    contents.metadata = extractMetadata(read, path);
    if (read.imageType() == Exiv2::ImageType::tiff)
        type = tiffIdentifier(read, path);
    contents.type = std::move(type);
    return contents;
}

} // namespace

bool quorix_read_full(const char* path, ImageContents* contents)
{
    try {
        auto read = readWithLibrary(path);
        if (!read)
            return false;
        *contents = std::move(*read);
        return true;
    } catch (...) {
        // What the library throws on a damaged file: no image source.
    }
    return false;
}

bool quorix_recognises_format(const char* path)
{
    try {
        prepareMetadataLibrary();
        Exiv2::FileIo io(path);
        return baseIdentifier(Exiv2::ImageFactory::getType(io)) != nullptr;
    } catch (...) {
    }
    return false;
}

} // namespace imageio
