#include "photolibrary/PLManagedAsset.h"

#include "foundation/ExifDateFields.h"
#include "foundation/NSDateFormatter.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSURL.h"
#include "imageio/CGImageSource.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

// One coordinate of a GPS dictionary in signed degrees: the file stores the
// magnitude and the hemisphere apart. Not a finite number counts as absent.
std::optional<double> signedDegrees(const NSDictionary* gps, const char* key, const char* referenceKey, char negativeReference)
{
    const auto* number = gps->objectOfClassForKey<NSNumber>(key);
    if (!number || !std::isfinite(number->doubleValue()))
        return std::nullopt;
    const auto* reference = gps->objectOfClassForKey<NSString>(referenceKey);
    const bool negative = reference && reference->str().size() == 1
        && std::toupper(static_cast<unsigned char>(reference->str()[0])) == negativeReference;
    return negative ? -std::fabs(number->doubleValue()) : number->doubleValue();
}

// The position in the properties' GPS dictionary, when it names a place on the globe.
std::optional<CLLocationCoordinate2D> positionOf(const NSDictionary* properties)
{
    const auto* gps = properties->objectOfClassForKey<NSDictionary>(kCGImagePropertyGPSDictionary);
    if (!gps)
        return std::nullopt;
    auto latitude = signedDegrees(gps, kCGImagePropertyGPSLatitude, kCGImagePropertyGPSLatitudeRef, 'S');
    auto longitude = signedDegrees(gps, kCGImagePropertyGPSLongitude, kCGImagePropertyGPSLongitudeRef, 'W');
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180)
        return std::nullopt;
    return CLLocationCoordinate2D { *latitude, *longitude };
}

Ref<NSNumber> numberOrNil(std::optional<NSInteger> number)
{
    return number ? NSNumber::numberWithInteger(*number) : nullptr;
}

using SizeOf = std::optional<PLManagedAsset::PixelSize> (PLManagedAsset::*)() const;

// One side of one of the asset's two sizes, nullopt when the file gives none.
std::optional<NSInteger> side(const PLManagedAsset* asset, SizeOf size, NSInteger PLManagedAsset::PixelSize::*axis)
{
    auto pixels = (asset->*size)();
    return pixels ? std::optional((*pixels).*axis) : std::nullopt;
}

std::optional<NSInteger> displayedWidth(const PLManagedAsset* a) { return side(a, &PLManagedAsset::displayedSize, &PLManagedAsset::PixelSize::width); }
std::optional<NSInteger> displayedHeight(const PLManagedAsset* a) { return side(a, &PLManagedAsset::displayedSize, &PLManagedAsset::PixelSize::height); }
std::optional<NSInteger> storedWidth(const PLManagedAsset* a) { return side(a, &PLManagedAsset::storedSize, &PLManagedAsset::PixelSize::width); }
std::optional<NSInteger> storedHeight(const PLManagedAsset* a) { return side(a, &PLManagedAsset::storedSize, &PLManagedAsset::PixelSize::height); }

// A capture date's candidates: when the picture was taken, when it was
// stored as digital data, when the file was last written by its maker.
std::vector<Ref<NSString>> dateTextsOf(const NSDictionary* properties)
{
    std::vector<Ref<NSString>> texts;
    if (!properties)
        return texts;
    auto add = [&](const char* section, const char* key) {
        const auto* entries = properties->objectOfClassForKey<NSDictionary>(section);
        if (auto* text = entries ? entries->objectOfClassForKey<NSString>(key) : nullptr)
            texts.emplace_back(text);
    };
    add(kCGImagePropertyExifDictionary, kCGImagePropertyExifDateTimeOriginal);
    add(kCGImagePropertyExifDictionary, kCGImagePropertyExifDateTimeDigitized);
    add(kCGImagePropertyTIFFDictionary, kCGImagePropertyTIFFDateTime);
    return texts;
}

// A size of the image properties; nullopt unless both sides are positive.
std::optional<PLManagedAsset::PixelSize> pixelSize(const NSDictionary* properties, const char* widthKey, const char* heightKey)
{
    auto* width = properties->objectOfClassForKey<NSNumber>(widthKey);
    auto* height = properties->objectOfClassForKey<NSNumber>(heightKey);
    if (!width || !height || width->longLongValue() <= 0 || height->longLongValue() <= 0)
        return std::nullopt;
    return PLManagedAsset::PixelSize { width->integerValue(), height->integerValue() };
}

std::string readLeadingBytes(const std::string& path, size_t count)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
}

} // namespace

QX_DEFINE_CLASS(PLManagedAsset)
{
    b.method<&PLManagedAsset::pathForImageFile>("pathForImageFile");
    b.method<&PLManagedAsset::filename>("filename");
    b.method<&PLManagedAsset::directory>("directory");
    b.method<&PLManagedAsset::isPhoto>("isPhoto");
    b.method<&PLManagedAsset::isJPEG>("isJPEG");
    b.method<&PLManagedAsset::isVideo>("isVideo");
    b.method<&PLManagedAsset::location>("location");
    b.method<&PLManagedAsset::modificationDate>("modificationDate");
    b.method<&PLManagedAsset::date>("date");

    b.property("pathForImageFile", "T@\"NSString\",R,N");
    b.property("filename", "T@\"NSString\",R,N");
    b.property("directory", "T@\"NSString\",R,N");
    b.property("isPhoto", "TB,R,N");
    b.property("isJPEG", "TB,R,N");
    b.property("isVideo", "TB,R,N");
    b.property("location", "T@\"CLLocation\",R,N");
    b.property("modificationDate", "T@\"NSDate\",R,N");
    b.property("date", "T@\"NSDate\",R,N");

    if (PLManagedAsset::sizeDeclaration() == PLManagedAsset::SizeDeclaration::Integer) {
        // Absent sizes read 0, as an integer property of the host gives them.
        b.method("width", [](PLManagedAsset* a) -> NSInteger { return displayedWidth(a).value_or(0); });
        b.method("height", [](PLManagedAsset* a) -> NSInteger { return displayedHeight(a).value_or(0); });
        b.method("originalWidth", [](PLManagedAsset* a) -> NSInteger { return storedWidth(a).value_or(0); });
        b.method("originalHeight", [](PLManagedAsset* a) -> NSInteger { return storedHeight(a).value_or(0); });
        for (const char* name : { "width", "height", "originalWidth", "originalHeight" })
            b.property(name, "Tq,R,N");
    } else {
        b.method("width", [](PLManagedAsset* a) { return a->sizeNumbers().width; });
        b.method("height", [](PLManagedAsset* a) { return a->sizeNumbers().height; });
        b.method("originalWidth", [](PLManagedAsset* a) { return a->sizeNumbers().originalWidth; });
        b.method("originalHeight", [](PLManagedAsset* a) { return a->sizeNumbers().originalHeight; });
        for (const char* name : { "width", "height", "originalWidth", "originalHeight" })
            b.property(name, "T@\"NSNumber\",R,N");
    }
}

PLManagedAsset::SizeDeclaration PLManagedAsset::sizeDeclaration()
{
    static const SizeDeclaration declaration = [] {
        const char* setting = std::getenv(SizeDeclarationVariable);
        return setting && std::string_view(setting) == "integer" ? SizeDeclaration::Integer : SizeDeclaration::Object;
    }();
    return declaration;
}

Ref<PLManagedAsset> PLManagedAsset::assetWithPath(std::string_view path)
{
    return make_object<PLManagedAsset>(host::normalisedAbsolutePath(path));
}

// The path's texts are made on first request and kept: the path never
// changes, and the viewer asks for them several times for each photo.
Ref<NSString> PLManagedAsset::pathForImageFile() const
{
    if (path_.empty())
        return nullptr;
    if (!texts_.path)
        texts_.path = NSString::stringWithUTF8String(path_);
    return texts_.path;
}

Ref<NSString> PLManagedAsset::filename() const
{
    if (path_.empty())
        return nullptr;
    if (!texts_.filename)
        texts_.filename = NSString::stringWithUTF8String(path_ == "/" ? path_ : path_.substr(path_.rfind('/') + 1));
    return texts_.filename;
}

Ref<NSString> PLManagedAsset::directory() const
{
    if (path_.empty())
        return nullptr;
    if (!texts_.directory) {
        auto slash = path_.rfind('/');
        texts_.directory = NSString::stringWithUTF8String(slash == 0 ? std::string("/") : path_.substr(0, slash));
    }
    return texts_.directory;
}

bool PLManagedAsset::isPhoto() const
{
    return facts().photo;
}

std::optional<CLLocationCoordinate2D> PLManagedAsset::filePosition() const
{
    if (isVideo() || !isPhoto())
        return std::nullopt;
    return facts().position;
}

bool PLManagedAsset::isJPEG() const
{
    return facts().type == "public.jpeg";
}

bool PLManagedAsset::isVideo() const
{
    return facts().videoContent || host::hasVideoExtension(path_);
}

std::optional<PLManagedAsset::PixelSize> PLManagedAsset::storedSize() const
{
    return facts().stored;
}

std::optional<PLManagedAsset::PixelSize> PLManagedAsset::displayedSize() const
{
    return facts().shown;
}

Ref<NSDate> PLManagedAsset::modificationDate() const
{
    struct stat status {};
    if (path_.empty() || ::stat(path_.c_str(), &status) != 0)
        return nullptr;
    return NSDate::dateWithTimeIntervalSince1970(static_cast<double>(status.st_mtim.tv_sec)
        + static_cast<double>(status.st_mtim.tv_nsec) / 1e9);
}

// Read when first asked for, not with the other facts: most photos carry
// DateTimeOriginal, which the library reads itself without asking. The
// source is the one the asking library has just opened, while the file is
// unchanged.
Ref<NSDate> PLManagedAsset::date() const
{
    if (date_)
        return *date_;
    Ref<NSDate> found;
    if (isPhoto()) {
        AutoreleasePool pool;
        auto source = CGImageSourceCreateWithURL(NSURL::fileURLWithPath(path_).get(), nullptr);
        auto properties = CGImageSourceCopyPropertiesAtIndex(source.get(), 0, nullptr);
        auto formatter = NSDateFormatter::create();
        formatter->setDateFormat(foundation::kExifDateFormat);
        for (const auto& text : dateTextsOf(properties.get())) {
            if ((found = formatter->dateFromString(text.get())))
                break;
        }
    }
    date_ = found ? found : modificationDate();
    return *date_;
}

const PLManagedAsset::SizeNumbers& PLManagedAsset::sizeNumbers() const
{
    if (!sizeNumbers_) {
        sizeNumbers_ = SizeNumbers { numberOrNil(displayedWidth(this)), numberOrNil(displayedHeight(this)),
            numberOrNil(storedWidth(this)), numberOrNil(storedHeight(this)) };
    }
    return *sizeNumbers_;
}

const PLManagedAsset::ImageFacts& PLManagedAsset::facts() const
{
    if (facts_)
        return *facts_;
    ImageFacts found;
    // Only a regular file is read: opening a FIFO would wait for a writer, and
    // a device may never end.
    struct stat status {};
    if (!path_.empty() && ::stat(path_.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        found.videoContent = host::looksLikeVideo(readLeadingBytes(path_, 16));
        AutoreleasePool pool;
        auto source = CGImageSourceCreateWithURL(NSURL::fileURLWithPath(path_).get(), nullptr);
        if (source) {
            found.photo = source->isStillImage();
            found.type = source->type();
            if (auto properties = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr)) {
                found.stored = pixelSize(properties.get(), kCGImagePropertyPixelWidth, kCGImagePropertyPixelHeight);
                found.shown = pixelSize(properties.get(), kQXImagePropertyShownWidth, kQXImagePropertyShownHeight);
                found.position = positionOf(properties.get());
            }
        }
    }
    facts_ = std::move(found);
    return *facts_;
}

namespace host {

std::string normalisedAbsolutePath(std::string_view path)
{
    if (path.empty())
        return {};
    std::error_code error;
    auto absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error)
        return {};
    std::string normal = absolute.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

bool looksLikeVideo(std::string_view bytes)
{
    if (bytes.starts_with("\x1A\x45\xDF\xA3"))
        return true; // Matroska and WebM: an EBML header
    if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "AVI ")
        return true;
    if (bytes.size() < 12)
        return false;
    auto box = bytes.substr(4, 4);
    // QuickTime files older than the "ftyp" box start straight with a movie atom.
    if (box == "moov" || box == "mdat" || box == "wide" || box == "pnot")
        return true;
    if (box != "ftyp")
        return false;
    // The major brand; image brands of the same container (heic, mif1, avif)
    // are not movies.
    auto brand = bytes.substr(8, 4);
    static constexpr std::array<std::string_view, 17> movieBrands {
        "qt  ", "isom", "iso2", "iso4", "iso5", "iso6", "mp41", "mp42", "M4V ",
        "M4VH", "M4VP", "avc1", "f4v ", "MSNV", "dash", "mmp4", "XAVC",
    };
    if (std::find(movieBrands.begin(), movieBrands.end(), brand) != movieBrands.end())
        return true;
    return brand.starts_with("3gp") || brand.starts_with("3g2");
}

bool hasVideoExtension(std::string_view path)
{
    std::string extension = NSString::stringWithUTF8String(path)->pathExtension()->lowercaseString()->str();
    static constexpr std::array<std::string_view, 8> movieExtensions {
        "mov", "mp4", "m4v", "avi", "3gp", "3g2", "mkv", "webm",
    };
    return std::find(movieExtensions.begin(), movieExtensions.end(), extension) != movieExtensions.end();
}

} // namespace host
