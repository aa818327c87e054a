#include "foundation/NSArray.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "foundation/NSURL.h"
#include "imageio/CGImageSource.h"
#include "imageio/ImageProperties.h"
#include "runtime/AutoreleasePool.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

using fixtures::ExifEdits;
using fixtures::TempDir;

namespace {

Ref<CGImageSource> openPath(const std::string& path)
{
    return CGImageSourceCreateWithURL(NSURL::fileURLWithPath(path).get(), nullptr);
}

Ref<NSDictionary> propertiesOf(const std::string& path)
{
    auto source = openPath(path);
    return source ? CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr) : nullptr;
}

NSDictionary* sectionOf(const NSDictionary* properties, const char* key)
{
    return properties ? properties->objectOfClassForKey<NSDictionary>(key) : nullptr;
}

void expectInteger(const NSDictionary* dictionary, const char* key, long long expected)
{
    auto* number = dictionary ? dictionary->objectOfClassForKey<NSNumber>(key) : nullptr;
    ASSERT_NE(number, nullptr) << key;
    EXPECT_FALSE(number->isFloatingPoint()) << key;
    EXPECT_EQ(number->longLongValue(), expected) << key;
}

void expectReal(const NSDictionary* dictionary, const char* key, double expected)
{
    auto* number = dictionary ? dictionary->objectOfClassForKey<NSNumber>(key) : nullptr;
    ASSERT_NE(number, nullptr) << key;
    EXPECT_TRUE(number->isFloatingPoint()) << key;
    EXPECT_NEAR(number->doubleValue(), expected, 1e-9) << key;
}

void expectText(const NSDictionary* dictionary, const char* key, const std::string& expected)
{
    auto* text = dictionary ? dictionary->objectOfClassForKey<NSString>(key) : nullptr;
    ASSERT_NE(text, nullptr) << key;
    EXPECT_EQ(text->str(), expected) << key;
}

void expectIntegers(const NSDictionary* dictionary, const char* key, const std::vector<long long>& expected)
{
    auto* array = dictionary ? dictionary->objectOfClassForKey<NSArray>(key) : nullptr;
    ASSERT_NE(array, nullptr) << key;
    ASSERT_EQ(array->count(), expected.size()) << key;
    for (size_t i = 0; i < expected.size(); ++i) {
        auto* number = objc_cast<NSNumber>(array->objectAtIndex(i));
        ASSERT_NE(number, nullptr) << key << "[" << i << "]";
        EXPECT_EQ(number->longLongValue(), expected[i]) << key << "[" << i << "]";
    }
}

// Whatever a file holds, the reader gives nil or a dictionary of the
// published shape: numbers at the top level, and sub-dictionaries holding
// numbers, strings and arrays of numbers.
void expectWellFormed(const NSDictionary* properties)
{
    if (!properties)
        return;
    for (const auto& [key, value] : *properties) {
        if (key == kCGImagePropertyPixelWidth || key == kCGImagePropertyPixelHeight || key == kCGImagePropertyOrientation
            || key == kQXImagePropertyShownWidth || key == kQXImagePropertyShownHeight) {
            EXPECT_NE(objc_cast<NSNumber>(value.get()), nullptr) << key;
            continue;
        }
        auto* section = objc_cast<NSDictionary>(value.get());
        ASSERT_NE(section, nullptr) << key;
        EXPECT_TRUE(key == kCGImagePropertyTIFFDictionary || key == kCGImagePropertyExifDictionary || key == kCGImagePropertyGPSDictionary) << key;
        for (const auto& [entryKey, entry] : *section) {
            if (auto* array = objc_cast<NSArray>(entry.get())) {
                for (const auto& element : *array)
                    EXPECT_NE(objc_cast<NSNumber>(element.get()), nullptr) << entryKey;
            } else {
                EXPECT_TRUE(objc_cast<NSNumber>(entry.get()) || objc_cast<NSString>(entry.get())) << entryKey;
            }
        }
    }
}

// Opens the file and, when it opens, checks its properties' shape. True when
// it opened.
bool readsWithoutHarm(const std::string& path)
{
    AutoreleasePool pool;
    auto source = openPath(path);
    if (!source)
        return false;
    auto properties = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr);
    EXPECT_NE(properties, nullptr);
    expectWellFormed(properties);
    return true;
}

// Every entry the reader knows, with distinct values so that a mix-up of two
// keys shows. Codes lie outside their vocabularies on purpose: the reader
// passes them on unchanged.
const ExifEdits richEdits = {
    { "Exif.Image.Make", "Canon" },
    { "Exif.Image.Model", "Canon EOS 40D" },
    { "Exif.Image.Software", "GIMP 2.10" },
    { "Exif.Image.DateTime", "2008:05:30 15:56:01" },
    { "Exif.Image.Orientation", "6" },
    { "Exif.Image.XResolution", "72/1" },
    { "Exif.Image.YResolution", "300/2" },
    { "Exif.Image.ResolutionUnit", "3" },
    { "Exif.Photo.FocalLength", "135/10" },
    { "Exif.Photo.FocalLengthIn35mmFilm", "75" },
    { "Exif.Photo.ApertureValue", "497/100" },
    { "Exif.Photo.MaxApertureValue", "3/1" },
    { "Exif.Photo.FNumber", "28/10" },
    { "Exif.Photo.ExposureTime", "1/75" },
    { "Exif.Photo.ShutterSpeedValue", "-5/4" },
    { "Exif.Photo.ISOSpeedRatings", "100 200" },
    { "Exif.Photo.WhiteBalance", "1" },
    { "Exif.Photo.DateTimeOriginal", "2021:04:11 15:47:53" },
    { "Exif.Photo.DateTimeDigitized", "2021:04:12 08:00:01" },
    { "Exif.Photo.Flash", "25" },
    { "Exif.Photo.ExposureBiasValue", "-1/2" },
    { "Exif.Photo.ExposureProgram", "7" },
    { "Exif.Photo.ExposureMode", "2" },
    { "Exif.Photo.MeteringMode", "5" },
    { "Exif.Photo.LightSource", "255" },
    { "Exif.Photo.DigitalZoomRatio", "3/2" },
    { "Exif.Photo.BrightnessValue", "711/100" },
    { "Exif.Photo.SceneCaptureType", "3" },
    { "Exif.Photo.SensingMethod", "8" },
    { "Exif.Photo.GainControl", "4" },
    { "Exif.Photo.CustomRendered", "9" },
    { "Exif.Photo.Contrast", "10" },
    { "Exif.Photo.Saturation", "11" },
    { "Exif.Photo.Sharpness", "12" },
    { "Exif.Photo.SubjectDistanceRange", "13" },
    { "Exif.Photo.SubjectDistance", "5/4" },
    { "Exif.Photo.Gamma", "22/10" },
    { "Exif.Photo.ColorSpace", "65535" },
    { "Exif.GPSInfo.GPSLatitudeRef", "S" },
    { "Exif.GPSInfo.GPSLatitude", "33/1 52/1 12/1" },
    { "Exif.GPSInfo.GPSLongitudeRef", "E" },
    { "Exif.GPSInfo.GPSLongitude", "151/1 12/1 36/1" },
};

struct IntegerRow {
    const char* key;
    long long expected;
};

struct RealRow {
    const char* key;
    double expected;
};

struct TextRow {
    const char* key;
    const char* expected;
};

// Checks every row with `check` (expectText, expectInteger or expectReal).
template<class Row, class Check>
void expectEach(const NSDictionary* dictionary, std::initializer_list<Row> rows, Check check)
{
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        check(dictionary, row.key, row.expected);
    }
}

// Each test has a pool and a scratch folder of its own.
class ImageSourceFixture : public testing::Test {
protected:
    // The properties of an 8 x 8 JPEG carrying just these edits.
    Ref<NSDictionary> jpegProperties(const ExifEdits& edits) const
    {
        return propertiesOf(fixtures::writeJpeg(dir.path(), "edited.jpg", 8, 8, edits));
    }
    // One section of them.
    Ref<NSDictionary> jpegSection(const ExifEdits& edits, const char* key) const { return sectionOf(jpegProperties(edits).get(), key); }

    AutoreleasePool pool;
    TempDir dir;
};

struct ImageSourceOpening : ImageSourceFixture { };
struct ImageSourceType : ImageSourceFixture { };
struct ImageSourceProperties : ImageSourceFixture { };
struct TIFFProperties : ImageSourceFixture { };
struct ExifProperties : ImageSourceFixture { };
struct GPSProperties : ImageSourceFixture { };
struct ImageSourceFormats : ImageSourceFixture { };
struct ImageSourceRobustness : ImageSourceFixture { };
struct ImageSourceCorpus : ImageSourceFixture { };

} // namespace

// ---------------------------------------------------------------------------
// Opening

TEST_F(ImageSourceOpening, GivesNothingForNilOrNonFileURLs)
{
    EXPECT_EQ(CGImageSourceCreateWithURL(nullptr, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceCreateWithURL(NSURL::URLWithString("http://example.com/photo.jpg").get(), nullptr), nullptr);
    EXPECT_EQ(CGImageSourceCreateWithURL(NSURL::URLWithString("mailto:someone@example.com").get(), nullptr), nullptr);
}

TEST_F(ImageSourceOpening, GivesNothingForMissingFilesAndDirectories)
{
    EXPECT_EQ(openPath(dir.file("missing.jpg")), nullptr);
    std::filesystem::create_directory(dir.file("folder.jpg"));
    EXPECT_EQ(openPath(dir.file("folder.jpg")), nullptr);
}

TEST_F(ImageSourceOpening, GivesNothingForFilesThatAreNotStillImages)
{
    struct Row {
        const char* name;
        std::string bytes;
    };
    // Each container is padded past a hundred bytes, the size below which the
    // metadata library does not recognise files at all.
    const std::string padding(200, '\0');
    const Row rows[] = {
        { "empty.jpg", "" },
        { "notes.txt", "Just some text, not a picture.\n" },
        { "one-byte.jpg", "\xFF" },
        { "sidecar.xmp", "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"></x:xmpmeta><?xpacket end=\"w\"?>" + padding },
        { "movie.mov", std::string("\0\0\0\x14" "ftypqt  \0\0\0\0qt  \0\0\0\xD0" "free", 28) + padding },
        { "movie.mp4", std::string("\0\0\0\x18" "ftypisom\0\0\0\0isommp42\0\0\0\xD0" "free", 32) + padding },
        { "clip.avi", std::string("RIFF\xD4\0\0\0" "AVI JUNK\xC8\0\0\0", 20) + padding },
        { "clip.mkv", std::string("\x1A\x45\xDF\xA3\x84\x42\x82\x84webm", 13) + padding },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(openPath(fixtures::writeFile(dir.path(), row.name, row.bytes)), nullptr);
    }
}

TEST_F(ImageSourceOpening, FollowsASymbolicLinkToAnImage)
{
    auto target = fixtures::writeJpeg(dir.path(), "target.jpg", 10, 10);
    std::filesystem::create_symlink(target, dir.file("link.jpg"));
    EXPECT_NE(openPath(dir.file("link.jpg")), nullptr);
}

TEST_F(ImageSourceOpening, ReadsAFileAgainOnlyWhenItChanged)
{
    auto makeOf = [&](const std::string& path) {
        auto properties = propertiesOf(path);
        auto* tiff = sectionOf(properties.get(), kCGImagePropertyTIFFDictionary);
        auto* make = tiff ? tiff->objectOfClassForKey<NSString>(kCGImagePropertyTIFFMake) : nullptr;
        return make ? make->str() : std::string("<none>");
    };
    auto path = fixtures::writeJpeg(dir.path(), "photo.jpg", 8, 8, { { "Exif.Image.Make", "First" } });
    EXPECT_EQ(makeOf(path), "First");
    // The same unchanged file shares the one read.
    EXPECT_EQ(openPath(path), openPath(path));

    // Rewritten in place, with the same size and the same modification time.
    struct stat before { };
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    fixtures::writeJpeg(dir.path(), "photo.jpg", 8, 8, { { "Exif.Image.Make", "Other" } });
    const timespec times[2] = { before.st_atim, before.st_mtim };
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(makeOf(path), "Other");

    // Replaced by another file under the same name.
    auto other = fixtures::writeJpeg(dir.path(), "other.jpg", 8, 8, { { "Exif.Image.Make", "Third" } });
    std::filesystem::rename(other, path);
    EXPECT_EQ(makeOf(path), "Third");
}

// ---------------------------------------------------------------------------
// Type identifiers

namespace {

// The metadata library misjudges files of under a hundred bytes, so these
// carry enough pixels (or a comment) to be larger.

std::string gifBytes()
{
    // A 7 x 5 screen with a two-colour table, a comment, one image, the trailer.
    std::string gif("GIF89a\x07\0\x05\0\x80\0\0" "\0\0\0\xFF\xFF\xFF", 19);
    gif += "\x21\xFE\x40" + std::string(64, 'c') + std::string(1, '\0');
    gif += std::string("\x2C\0\0\0\0\x07\0\x05\0\0" "\x02\x02\x44\x01\0" "\x3B", 16);
    return gif;
}

std::string bmpBytes()
{
    constexpr uint32_t side = 8;
    constexpr uint32_t pixelBytes = side * side * 3;
    std::string bmp("BM", 2);
    auto le32 = [&](uint32_t v) {
        for (int s = 0; s < 32; s += 8)
            bmp += static_cast<char>((v >> s) & 0xFF);
    };
    auto le16 = [&](uint16_t v) {
        bmp += static_cast<char>(v & 0xFF);
        bmp += static_cast<char>(v >> 8);
    };
    le32(54 + pixelBytes); // file size
    le32(0);
    le32(54); // pixel offset
    le32(40); // header size
    le32(side); // width
    le32(side); // height
    le16(1); // planes
    le16(24); // bits per pixel
    le32(0); // no compression
    le32(pixelBytes);
    le32(2835);
    le32(2835);
    le32(0);
    le32(0);
    bmp += std::string(pixelBytes, '\x7F');
    return bmp;
}

// A lossless WebP of 7 x 5 whose compressed stream is zeros: only the
// header is ever read.
std::string webpBytes()
{
    std::string webp;
    auto le32 = [&](uint32_t v) {
        for (int s = 0; s < 32; s += 8)
            webp += static_cast<char>((v >> s) & 0xFF);
    };
    const uint32_t payload = 128;
    webp += "RIFF";
    le32(4 + 8 + payload);
    webp += "WEBPVP8L";
    le32(payload);
    webp += '\x2F'; // signature
    le32((7 - 1) | ((5 - 1) << 14)); // width - 1 and height - 1, fourteen bits each
    webp += std::string(payload - 5, '\0');
    return webp;
}

// An ISO base media file holding its 'ftyp' box and a 'free' box of padding.
std::string ftypBytes(const std::string& major, const std::vector<std::string>& compatible)
{
    std::string file;
    auto be32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8)
            file += static_cast<char>((v >> s) & 0xFF);
    };
    be32(16 + 4 * static_cast<uint32_t>(compatible.size()));
    file += "ftyp" + major + std::string(4, '\0');
    for (const auto& brand : compatible)
        file += brand;
    be32(8 + 128);
    file += "free" + std::string(128, '\0');
    return file;
}

} // namespace

TEST_F(ImageSourceType, NamesEachFormatByItsTypeIdentifier)
{
    struct Row {
        std::string path;
        const char* expected;
    };
    const Row rows[] = {
        { fixtures::writeJpeg(dir.path(), "a.jpg", 8, 8), "public.jpeg" },
        { fixtures::writePng(dir.path(), "a.png", 8, 8), "public.png" },
        { fixtures::writeTiff(dir.path(), "a.tif", 8, 8), "public.tiff" },
        { fixtures::writeTiff(dir.path(), "a.NEF", 8, 8), "com.nikon.raw-image" },
        { fixtures::writeTiff(dir.path(), "raw.tif", 8, 8, { { "Exif.Image.DNGVersion", "1 4 0 0" } }), "com.adobe.raw-image" },
        { fixtures::writeFile(dir.path(), "a.webp", webpBytes()), "org.webmproject.webp" },
        { fixtures::writeFile(dir.path(), "a.gif", gifBytes()), "com.compuserve.gif" },
        { fixtures::writeFile(dir.path(), "a.bmp", bmpBytes()), "com.microsoft.bmp" },
        { fixtures::writeFile(dir.path(), "a.heic", ftypBytes("heic", { "mif1", "heic" })), "public.heic" },
        { fixtures::writeFile(dir.path(), "b.heic", ftypBytes("mif1", { "mif1", "heic" })), "public.heic" },
        { fixtures::writeFile(dir.path(), "a.avif", ftypBytes("avif", { "mif1", "avif" })), "public.avif" },
        { fixtures::writeFile(dir.path(), "b.avif", ftypBytes("mif1", { "miaf", "avif" })), "public.avif" },
        { fixtures::writeFile(dir.path(), "a.heif", ftypBytes("mif1", { "mif1" })), "public.heif" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        auto source = openPath(row.path);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->type(), row.expected);
        EXPECT_STREQ(CGImageSourceGetType(source), row.expected);
    }
    EXPECT_EQ(CGImageSourceGetType(nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// Top level of the property dictionary

TEST_F(ImageSourceProperties, GivesNothingForAnyIndexButZeroOrANilSource)
{
    auto source = openPath(fixtures::writeJpeg(dir.path(), "a.jpg", 8, 8));
    ASSERT_NE(source, nullptr);
    EXPECT_NE(CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceCopyPropertiesAtIndex(source, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceCopyPropertiesAtIndex(source, static_cast<size_t>(-1), nullptr), nullptr);
    EXPECT_EQ(CGImageSourceCopyPropertiesAtIndex(nullptr, 0, nullptr), nullptr);
}

TEST_F(ImageSourceProperties, ReportsThePixelSizeOfEachFormat)
{
    struct Row {
        std::string path;
        long long width;
        long long height;
    };
    const Row rows[] = {
        { fixtures::writeJpeg(dir.path(), "a.jpg", 320, 240), 320, 240 },
        { fixtures::writePng(dir.path(), "a.png", 33, 17), 33, 17 },
        { fixtures::writeTiff(dir.path(), "a.tif", 40, 30), 40, 30 },
        { fixtures::writeFile(dir.path(), "a.webp", webpBytes()), 7, 5 },
        { fixtures::writeFile(dir.path(), "a.gif", gifBytes()), 7, 5 },
        { fixtures::writeFile(dir.path(), "a.bmp", bmpBytes()), 8, 8 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        auto properties = propertiesOf(row.path);
        expectInteger(properties, kCGImagePropertyPixelWidth, row.width);
        expectInteger(properties, kCGImagePropertyPixelHeight, row.height);
        // Unturned: shown as stored.
        expectInteger(properties, kQXImagePropertyShownWidth, row.width);
        expectInteger(properties, kQXImagePropertyShownHeight, row.height);
    }
}

TEST_F(ImageSourceProperties, ReportsOrientationAtTopLevelOnlyWhenStored)
{
    auto rotated = jpegProperties({ { "Exif.Image.Orientation", "8" } });
    expectInteger(rotated, kCGImagePropertyOrientation, 8);

    auto plain = jpegProperties({ { "Exif.Image.Make", "Canon" } });
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->objectForKey(kCGImagePropertyOrientation), nullptr);
}

TEST_F(ImageSourceProperties, AreOneImmutableDictionarySharedByEveryCaller)
{
    auto source = openPath(fixtures::writeJpeg(dir.path(), "a.jpg", 8, 8, { { "Exif.Image.Make", "Canon" } }));
    ASSERT_NE(source, nullptr);
    auto first = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(objc_cast<NSMutableDictionary>(first.get()), nullptr);

    auto second = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr);
    EXPECT_EQ(first.get(), second.get());
    expectText(sectionOf(second, kCGImagePropertyTIFFDictionary), kCGImagePropertyTIFFMake, "Canon");
}

TEST_F(ImageSourceProperties, ItsSectionsCannotBeChangedByOneCallerForTheNext)
{
    auto source = openPath(fixtures::writeJpeg(dir.path(), "b.jpg", 8, 8,
        { { "Exif.Image.Make", "Canon" }, { "Exif.Photo.ISOSpeedRatings", "200" } }));
    ASSERT_NE(source, nullptr);
    auto first = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr);
    for (const char* key : { kCGImagePropertyTIFFDictionary, kCGImagePropertyExifDictionary }) {
        SCOPED_TRACE(key);
        auto* section = sectionOf(first, key);
        ASSERT_NE(section, nullptr);
        EXPECT_EQ(objc_cast<NSMutableDictionary>(section), nullptr);
    }
    const auto* iso = sectionOf(first, kCGImagePropertyExifDictionary)->objectForKey(kCGImagePropertyExifISOSpeedRatings);
    ASSERT_NE(objc_cast<NSArray>(iso), nullptr);
    EXPECT_EQ(objc_cast<NSMutableArray>(iso), nullptr);

    auto second = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr);
    expectText(sectionOf(second, kCGImagePropertyTIFFDictionary), kCGImagePropertyTIFFMake, "Canon");
    expectIntegers(sectionOf(second, kCGImagePropertyExifDictionary), kCGImagePropertyExifISOSpeedRatings, { 200 });
}

TEST_F(ImageSourceProperties, HasNoSectionsForAnImageWithoutMetadata)
{
    auto properties = propertiesOf(fixtures::writeJpeg(dir.path(), "bare.jpg", 12, 9));
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->count(), 4u); // the pixel size only, stored and shown
}

// The {Exif} and {GPS} sections come with their directories, even when these
// hold nothing that is published; the {TIFF} section comes with its entries.
TEST_F(ImageSourceProperties, HasTheExifAndGpsSectionsWithTheirDirectoriesAndTheTiffSectionWithItsEntries)
{
    const auto exifOnly = fixtures::writeJpeg(dir.path(), "exif-only.jpg", 8, 8, { { "Exif.Photo.FNumber", "28/10" }, { "Exif.Image.Artist", "Someone" } });
    const auto tiffOnly = fixtures::writeTiff(dir.path(), "tiff-only.tif", 8, 8, { { "Exif.Image.Make", "Canon" } });
    struct Row {
        std::string path;
        const char* key;
        int entries; // -1: no section
    };
    const Row rows[] = {
        { exifOnly, kCGImagePropertyTIFFDictionary, -1 },
        { exifOnly, kCGImagePropertyExifDictionary, 1 },
        { exifOnly, kCGImagePropertyGPSDictionary, -1 },
        { tiffOnly, kCGImagePropertyExifDictionary, -1 },
        { tiffOnly, kCGImagePropertyGPSDictionary, -1 },
        { fixtures::writeJpeg(dir.path(), "comment.jpg", 8, 8, { { "Exif.Photo.UserComment", "charset=Ascii hello" } }), kCGImagePropertyExifDictionary, 0 },
        { fixtures::writeJpeg(dir.path(), "altitude.jpg", 8, 8, { { "Exif.GPSInfo.GPSAltitude", "340/1" } }), kCGImagePropertyGPSDictionary, 0 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path + " " + row.key);
        auto properties = propertiesOf(row.path);
        ASSERT_NE(properties, nullptr);
        if (row.entries < 0) {
            EXPECT_EQ(properties->objectForKey(row.key), nullptr);
        } else {
            auto* section = sectionOf(properties, row.key);
            ASSERT_NE(section, nullptr);
            EXPECT_EQ(section->count(), static_cast<size_t>(row.entries));
        }
    }
}

// ---------------------------------------------------------------------------
// {TIFF}

TEST_F(TIFFProperties, ReadsEachEntryWithItsKind)
{
    auto tiff = jpegSection(richEdits, kCGImagePropertyTIFFDictionary);
    ASSERT_NE(tiff, nullptr);
    expectEach<TextRow>(tiff, {
        { kCGImagePropertyTIFFMake, "Canon" },
        { kCGImagePropertyTIFFModel, "Canon EOS 40D" },
        { kCGImagePropertyTIFFSoftware, "GIMP 2.10" },
        { kCGImagePropertyTIFFDateTime, "2008:05:30 15:56:01" },
    }, expectText);
    expectEach<IntegerRow>(tiff, {
        { kCGImagePropertyTIFFOrientation, 6 },
        { kCGImagePropertyTIFFResolutionUnit, 3 },
    }, expectInteger);
    expectEach<RealRow>(tiff, {
        { kCGImagePropertyTIFFXResolution, 72.0 },
        { kCGImagePropertyTIFFYResolution, 150.0 },
    }, expectReal);
    EXPECT_EQ(tiff->count(), 8u);
}

TEST_F(TIFFProperties, EndsTextAtItsTerminatorAndKeepsItOtherwiseAsStored)
{
    auto tiff = jpegSection({
        { "Exif.Image.Make", std::string("NIKON\0\0\0", 8), "Ascii" },
        { "Exif.Image.Model", "  COOLPIX  " },
        { "Exif.Image.Software", std::string("v1\0leftover", 11), "Ascii" },
        { "Exif.Image.DateTime", "" },
    }, kCGImagePropertyTIFFDictionary);
    expectText(tiff, kCGImagePropertyTIFFMake, "NIKON");
    expectText(tiff, kCGImagePropertyTIFFModel, "  COOLPIX  ");
    expectText(tiff, kCGImagePropertyTIFFSoftware, "v1");
    expectText(tiff, kCGImagePropertyTIFFDateTime, "");
}

TEST_F(TIFFProperties, ReadsTextThatIsNotUtf8AsLatin1)
{
    auto tiff = jpegSection({
        { "Exif.Image.Make", "Caf\xE9" },
        { "Exif.Image.Model", "Z\xC3\xBCrich" },
    }, kCGImagePropertyTIFFDictionary);
    expectText(tiff, kCGImagePropertyTIFFMake, "Caf\xC3\xA9");
    expectText(tiff, kCGImagePropertyTIFFModel, "Z\xC3\xBCrich");
}

// ---------------------------------------------------------------------------
// {Exif}

TEST_F(ExifProperties, ReadsEachEntryWithItsKind)
{
    auto exif = jpegSection(richEdits, kCGImagePropertyExifDictionary);
    ASSERT_NE(exif, nullptr);

    // Rationals are floating-point numbers; the APEX values stay as stored
    // (aperture 4.97, not f/5.6), the exposure time is decimal seconds.
    expectEach<RealRow>(exif, {
        { kCGImagePropertyExifFocalLength, 13.5 },
        { kCGImagePropertyExifApertureValue, 4.97 },
        { kCGImagePropertyExifMaxApertureValue, 3.0 },
        { kCGImagePropertyExifFNumber, 2.8 },
        { kCGImagePropertyExifExposureTime, 0.013333333333333334 },
        { kCGImagePropertyExifShutterSpeedValue, -1.25 },
        { kCGImagePropertyExifExposureBiasValue, -0.5 },
        { kCGImagePropertyExifDigitalZoomRatio, 1.5 },
        { kCGImagePropertyExifBrightnessValue, 7.11 },
        { kCGImagePropertyExifSubjectDistance, 1.25 },
        { kCGImagePropertyExifGamma, 2.2 },
    }, expectReal);
    expectEach<IntegerRow>(exif, {
        { kCGImagePropertyExifFocalLenIn35mmFilm, 75 },
        { kCGImagePropertyExifWhiteBalance, 1 },
        { kCGImagePropertyExifFlash, 25 },
        { kCGImagePropertyExifExposureProgram, 7 },
        { kCGImagePropertyExifExposureMode, 2 },
        { kCGImagePropertyExifMeteringMode, 5 },
        { kCGImagePropertyExifLightSource, 255 },
        { kCGImagePropertyExifSceneCaptureType, 3 },
        { kCGImagePropertyExifSensingMethod, 8 },
        { kCGImagePropertyExifGainControl, 4 },
        { kCGImagePropertyExifCustomRendered, 9 },
        { kCGImagePropertyExifContrast, 10 },
        { kCGImagePropertyExifSaturation, 11 },
        { kCGImagePropertyExifSharpness, 12 },
        { kCGImagePropertyExifSubjectDistRange, 13 },
        { kCGImagePropertyExifColorSpace, 65535 },
    }, expectInteger);
    expectEach<TextRow>(exif, {
        { kCGImagePropertyExifDateTimeOriginal, "2021:04:11 15:47:53" },
        { kCGImagePropertyExifDateTimeDigitized, "2021:04:12 08:00:01" },
    }, expectText);
    expectIntegers(exif, kCGImagePropertyExifISOSpeedRatings, { 100, 200 });
    // Thirty keys, and nothing else from the EXIF directory (the writer adds
    // entries of its own, such as the EXIF version, which are not published).
    EXPECT_EQ(exif->count(), 30u);
}

TEST_F(ExifProperties, ReadsEveryIsoComponent)
{
    struct Row {
        const char* stored;
        std::vector<long long> expected;
    };
    const Row rows[] = {
        { "64", { 64 } },
        { "100 200", { 100, 200 } },
        { "50 6400 25600", { 50, 6400, 25600 } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        auto exif = jpegSection({ { "Exif.Photo.ISOSpeedRatings", row.stored } }, kCGImagePropertyExifDictionary);
        expectIntegers(exif, kCGImagePropertyExifISOSpeedRatings, row.expected);
    }
}

TEST_F(ExifProperties, LeavesOutRationalsWithAZeroDenominator)
{
    struct Row {
        const char* exivKey;
        const char* stored;
        const char* key;
    };
    const Row rows[] = {
        { "Exif.Photo.FNumber", "28/0", kCGImagePropertyExifFNumber },
        { "Exif.Photo.ExposureTime", "0/0", kCGImagePropertyExifExposureTime },
        { "Exif.Photo.ExposureBiasValue", "-1/0", kCGImagePropertyExifExposureBiasValue },
        { "Exif.Photo.SubjectDistance", "4294967295/0", kCGImagePropertyExifSubjectDistance },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exivKey);
        auto exif = jpegSection({ { row.exivKey, row.stored }, { "Exif.Photo.Flash", "0" } }, kCGImagePropertyExifDictionary);
        ASSERT_NE(exif, nullptr);
        EXPECT_EQ(exif->objectForKey(row.key), nullptr);
        expectInteger(exif, kCGImagePropertyExifFlash, 0);
    }
}

TEST_F(ExifProperties, LeavesOutValuesOfATypeTheEntryNeverHas)
{
    struct Row {
        const char* exivKey;
        const char* stored;
        const char* type;
        const char* section;
        const char* key;
    };
    const Row rows[] = {
        { "Exif.Photo.FNumber", "2.8", "Ascii", kCGImagePropertyExifDictionary, kCGImagePropertyExifFNumber },
        { "Exif.Photo.Flash", "16", "Ascii", kCGImagePropertyExifDictionary, kCGImagePropertyExifFlash },
        { "Exif.Photo.ExposureTime", "1 2 3 4", "Undefined", kCGImagePropertyExifDictionary, kCGImagePropertyExifExposureTime },
        { "Exif.Photo.ISOSpeedRatings", "100", "Ascii", kCGImagePropertyExifDictionary, kCGImagePropertyExifISOSpeedRatings },
        { "Exif.Photo.DateTimeOriginal", "2021", "Short", kCGImagePropertyExifDictionary, kCGImagePropertyExifDateTimeOriginal },
        { "Exif.Image.Make", "5", "Short", kCGImagePropertyTIFFDictionary, kCGImagePropertyTIFFMake },
        { "Exif.Image.XResolution", "72", "Ascii", kCGImagePropertyTIFFDictionary, kCGImagePropertyTIFFXResolution },
        { "Exif.GPSInfo.GPSLatitude", "48.5", "Ascii", kCGImagePropertyGPSDictionary, kCGImagePropertyGPSLatitude },
        { "Exif.GPSInfo.GPSLatitudeRef", "78", "Short", kCGImagePropertyGPSDictionary, kCGImagePropertyGPSLatitudeRef },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exivKey);
        auto section = jpegSection({ { row.exivKey, row.stored, row.type } }, row.section);
        ASSERT_NE(section, nullptr); // the entry is there, so is its section
        EXPECT_EQ(section->objectForKey(row.key), nullptr);
    }
}

TEST_F(ExifProperties, ReadsANumberStoredWithAnotherNumericType)
{
    auto exif = jpegSection({
        { "Exif.Photo.FocalLength", "50", "Short" },
        { "Exif.Photo.Flash", "1/1", "Rational" },
    }, kCGImagePropertyExifDictionary);
    expectInteger(exif, kCGImagePropertyExifFocalLength, 50);
    expectReal(exif, kCGImagePropertyExifFlash, 1.0);
}

// ---------------------------------------------------------------------------
// {GPS}

TEST_F(GPSProperties, TurnsDegreesMinutesAndSecondsIntoDecimalDegrees)
{
    struct Row {
        const char* stored;
        double expected;
    };
    const Row rows[] = {
        { "48/1 51/1 2988/100", 48.8583 },
        { "48/1", 48.0 },
        { "48/1 30/1", 48.5 },
        { "4851/100 0/1 0/1", 48.51 },
        { "0/1 0/1 0/1", 0.0 },
        { "2/1 15/1 36/1", 2.26 },
        { "179/1 59/1 5999/100", 179.99999722222222 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        auto gps = jpegSection({ { "Exif.GPSInfo.GPSLatitude", row.stored }, { "Exif.GPSInfo.GPSLongitude", row.stored } }, kCGImagePropertyGPSDictionary);
        expectReal(gps, kCGImagePropertyGPSLatitude, row.expected);
        expectReal(gps, kCGImagePropertyGPSLongitude, row.expected);
    }
}

TEST_F(GPSProperties, LeavesOutMalformedCoordinates)
{
    struct Row {
        const char* stored;
        const char* type;
    };
    const Row rows[] = {
        { "48/1 51/0 1/1", "" },
        { "48/0", "" },
        { "1/1 2/1 3/1 4/1", "" },
        { "-48/1 0/1 0/1", "SRational" },
        { "48/1 -30/1 0/1", "SRational" },
        { "48 51 30", "Long" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        auto gps = jpegSection({ { "Exif.GPSInfo.GPSLongitude", row.stored, row.type }, { "Exif.GPSInfo.GPSLongitudeRef", "W" } }, kCGImagePropertyGPSDictionary);
        ASSERT_NE(gps, nullptr);
        EXPECT_EQ(gps->objectForKey(kCGImagePropertyGPSLongitude), nullptr);
        expectText(gps, kCGImagePropertyGPSLongitudeRef, "W");
    }
}

TEST_F(GPSProperties, GivesTheHemisphereAsItsFirstLetter)
{
    struct Row {
        const char* exivKey;
        const char* stored;
        const char* key;
        const char* expected; // nullptr: absent
    };
    const Row rows[] = {
        { "Exif.GPSInfo.GPSLatitudeRef", "N", kCGImagePropertyGPSLatitudeRef, "N" },
        { "Exif.GPSInfo.GPSLatitudeRef", "S", kCGImagePropertyGPSLatitudeRef, "S" },
        { "Exif.GPSInfo.GPSLongitudeRef", "E", kCGImagePropertyGPSLongitudeRef, "E" },
        { "Exif.GPSInfo.GPSLongitudeRef", "W", kCGImagePropertyGPSLongitudeRef, "W" },
        { "Exif.GPSInfo.GPSLatitudeRef", "North", kCGImagePropertyGPSLatitudeRef, "N" },
        { "Exif.GPSInfo.GPSLongitudeRef", "", kCGImagePropertyGPSLongitudeRef, nullptr },
        { "Exif.GPSInfo.GPSLongitudeRef", "\xE9st", kCGImagePropertyGPSLongitudeRef, nullptr },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.exivKey) + " = '" + row.stored + "'");
        auto gps = jpegSection({ { row.exivKey, row.stored, "Ascii" } }, kCGImagePropertyGPSDictionary);
        ASSERT_NE(gps, nullptr);
        if (row.expected)
            expectText(gps, row.key, row.expected);
        else
            EXPECT_EQ(gps->objectForKey(row.key), nullptr);
    }
}

TEST_F(GPSProperties, KeepsCoordinatesUnsignedWhateverTheHemisphere)
{
    auto gps = jpegSection(richEdits, kCGImagePropertyGPSDictionary);
    expectText(gps, kCGImagePropertyGPSLatitudeRef, "S");
    expectReal(gps, kCGImagePropertyGPSLatitude, 33.87);
    expectText(gps, kCGImagePropertyGPSLongitudeRef, "E");
    expectReal(gps, kCGImagePropertyGPSLongitude, 151.21);
}

// ---------------------------------------------------------------------------
// Other containers

TEST_F(ImageSourceFormats, ReadsTheSameEntriesFromPngAndTiff)
{
    const std::string paths[] = {
        fixtures::writePng(dir.path(), "a.png", 16, 12, richEdits),
        fixtures::writeTiff(dir.path(), "a.tif", 16, 12, richEdits),
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        auto properties = propertiesOf(path);
        expectInteger(properties, kCGImagePropertyPixelWidth, 16);
        expectInteger(properties, kCGImagePropertyOrientation, 6);
        expectText(sectionOf(properties, kCGImagePropertyTIFFDictionary), kCGImagePropertyTIFFModel, "Canon EOS 40D");
        expectReal(sectionOf(properties, kCGImagePropertyExifDictionary), kCGImagePropertyExifFNumber, 2.8);
        expectIntegers(sectionOf(properties, kCGImagePropertyExifDictionary), kCGImagePropertyExifISOSpeedRatings, { 100, 200 });
        expectReal(sectionOf(properties, kCGImagePropertyGPSDictionary), kCGImagePropertyGPSLongitude, 151.21);
    }
}

// ---------------------------------------------------------------------------
// Damaged files

namespace {

// Where the scan starts, found by walking the marker segments before it.
size_t startOfScan(const std::string& jpeg)
{
    size_t at = 2;
    while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF) {
        if (static_cast<unsigned char>(jpeg[at + 1]) == 0xDA)
            return at;
        at += 2 + (static_cast<size_t>(static_cast<unsigned char>(jpeg[at + 2])) << 8 | static_cast<unsigned char>(jpeg[at + 3]));
    }
    return std::string::npos;
}

} // namespace

TEST_F(ImageSourceRobustness, ReadsAJpegCutAnywhereInItsScanWithAllItsMetadata)
{
    const std::string whole = fixtures::readFile(fixtures::writeJpeg(dir.path(), "whole.jpg", 16, 16, richEdits));
    const size_t scan = startOfScan(whole);
    ASSERT_LT(scan, whole.size());
    for (size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE("first " + std::to_string(length) + " bytes");
        AutoreleasePool perCut;
        auto path = fixtures::writeFile(dir.path(), "cut.jpg", std::string_view(whole).substr(0, length));
        auto properties = propertiesOf(path);
        expectWellFormed(properties);
        // A cut before the scan gives nil or what the segments before the cut
        // hold (checked for shape above); the pixels are never needed.
        if (length >= scan) {
            expectText(sectionOf(properties, kCGImagePropertyTIFFDictionary), kCGImagePropertyTIFFMake, "Canon");
            expectReal(sectionOf(properties, kCGImagePropertyGPSDictionary), kCGImagePropertyGPSLongitude, 151.21);
        }
    }
}

namespace {

// A little-endian TIFF with one directory of 12-byte entries (tag, type,
// count, value or offset), padded so that it is recognised.
std::string tiffWithDirectory(const std::vector<std::array<uint32_t, 4>>& entries, uint32_t nextDirectory, uint16_t claimedCount)
{
    std::string tiff("II*\0\x08\0\0\0", 8);
    auto le = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    le(claimedCount, 2);
    for (const auto& [tag, type, count, value] : entries) {
        le(tag, 2);
        le(type, 2);
        le(count, 4);
        le(value, 4);
    }
    le(nextDirectory, 4);
    return tiff + std::string(200, '\0');
}

} // namespace

TEST_F(ImageSourceRobustness, ReadsTiffsWithLoopsAndImpossibleSizes)
{
    // Every pointer leads back to the first directory.
    auto loop = propertiesOf(fixtures::writeFile(dir.path(), "loop.tif",
        tiffWithDirectory({ { 256, 4, 1, 8 }, { 257, 4, 1, 6 }, { 0x8769, 4, 1, 8 }, { 0x8825, 4, 1, 8 } }, 8, 4)));
    expectInteger(loop, kCGImagePropertyPixelWidth, 8);
    expectInteger(loop, kCGImagePropertyPixelHeight, 6);
    EXPECT_EQ(sectionOf(loop, kCGImagePropertyExifDictionary), nullptr);
    EXPECT_EQ(sectionOf(loop, kCGImagePropertyGPSDictionary), nullptr);

    // A make of a billion characters and a billion resolutions, in a file of 300 bytes.
    auto huge = propertiesOf(fixtures::writeFile(dir.path(), "huge.tif",
        tiffWithDirectory({ { 256, 4, 1, 8 }, { 257, 4, 1, 6 }, { 0x10F, 2, 0x40000000, 30 }, { 0x11A, 5, 0x10000000, 30 } }, 0, 4)));
    expectInteger(huge, kCGImagePropertyPixelWidth, 8);
    EXPECT_EQ(sectionOf(huge, kCGImagePropertyTIFFDictionary), nullptr);

    // A directory that claims 65535 entries.
    auto crowded = propertiesOf(fixtures::writeFile(dir.path(), "crowded.tif", tiffWithDirectory({}, 0, 0xFFFF)));
    ASSERT_NE(crowded, nullptr);
    EXPECT_EQ(crowded->count(), 0u);
}

namespace {

// Overwrites a few bytes at seeded random offsets of each file, many times
// over; offsets fall in the first `span` bytes, where the metadata lies.
void corruptRepeatedly(const std::string& original, const std::string& dir, const std::string& name, size_t span, int rounds, uint32_t seed)
{
    std::mt19937 random(seed);
    span = std::min(span, original.size());
    for (int round = 0; round < rounds; ++round) {
        std::string bytes = original;
        int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i)
            bytes[random() % span] = static_cast<char>(random() & 0xFF);
        SCOPED_TRACE("round " + std::to_string(round));
        readsWithoutHarm(fixtures::writeFile(dir, name, bytes));
    }
}

} // namespace

TEST_F(ImageSourceRobustness, SurvivesRandomCorruptionOfEveryFixtureFormat)
{
    struct Row {
        std::string original;
        const char* name;
    };
    const Row rows[] = {
        { fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 16, 16, richEdits)), "bad.jpg" },
        { fixtures::readFile(fixtures::writePng(dir.path(), "a.png", 16, 16, richEdits)), "bad.png" },
        { fixtures::readFile(fixtures::writeTiff(dir.path(), "a.tif", 16, 16, richEdits)), "bad.tif" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        corruptRepeatedly(row.original, dir.path(), row.name, 4096, 400, 20240611);
    }
}

// ---------------------------------------------------------------------------
// Camera files, read in place

namespace {

std::filesystem::path corpus() { return std::filesystem::path(QUORIX_CORPUS_DIR); }
std::string inCorpus(const char* file) { return (corpus() / file).string(); }

} // namespace

#define SKIP_WITHOUT_CORPUS()                          \
    if (!std::filesystem::is_directory(corpus()))      \
    GTEST_SKIP() << "no sample corpus at " << corpus().string() << "; camera-file tests skipped"

TEST_F(ImageSourceCorpus, ReadsEachFormatWithItsTypeAndPixelSize)
{
    SKIP_WITHOUT_CORPUS();
    struct Row {
        const char* file;
        const char* type;
        long long width;
        long long height;
        long long shownWidth;
        long long shownHeight;
    };
    const Row rows[] = {
        { "jpg/gps/DSCN0010.jpg", "public.jpeg", 640, 480, 640, 480 },
        { "jpg/orientation/portrait_8.jpg", "public.jpeg", 600, 450, 450, 600 },
        // An edited photo: its EXIF block keeps the camera's 4032 x 3024.
        { "heic/IMG_5195.HEIC", "public.heic", 2566, 3313, 2566, 3313 },
        { "heic/samplefilehub.heif", "public.heic", 640, 426, 640, 426 }, // its major brand is 'heic'
        { "tiff/Arbitro.tiff", "public.tiff", 174, 38, 174, 38 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        auto source = openPath(inCorpus(row.file));
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->type(), row.type);
        auto properties = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr);
        expectInteger(properties, kCGImagePropertyPixelWidth, row.width);
        expectInteger(properties, kCGImagePropertyPixelHeight, row.height);
        expectInteger(properties, kQXImagePropertyShownWidth, row.shownWidth);
        expectInteger(properties, kQXImagePropertyShownHeight, row.shownHeight);
    }
}

TEST_F(ImageSourceCorpus, ReadsANikonJpegWithItsPosition)
{
    SKIP_WITHOUT_CORPUS();
    auto properties = propertiesOf(inCorpus("jpg/gps/DSCN0010.jpg"));
    expectInteger(properties, kCGImagePropertyOrientation, 1);

    auto* tiff = sectionOf(properties, kCGImagePropertyTIFFDictionary);
    expectText(tiff, kCGImagePropertyTIFFMake, "NIKON");
    expectText(tiff, kCGImagePropertyTIFFModel, "COOLPIX P6000");
    expectText(tiff, kCGImagePropertyTIFFDateTime, "2008:11:01 21:15:07");
    expectReal(tiff, kCGImagePropertyTIFFXResolution, 300.0);
    expectInteger(tiff, kCGImagePropertyTIFFResolutionUnit, 2);

    auto* exif = sectionOf(properties, kCGImagePropertyExifDictionary);
    expectReal(exif, kCGImagePropertyExifExposureTime, 0.013333333333333334);
    expectReal(exif, kCGImagePropertyExifFNumber, 5.9);
    expectIntegers(exif, kCGImagePropertyExifISOSpeedRatings, { 64 });
    expectText(exif, kCGImagePropertyExifDateTimeOriginal, "2008:10:22 16:28:39");

    auto* gps = sectionOf(properties, kCGImagePropertyGPSDictionary);
    expectText(gps, kCGImagePropertyGPSLatitudeRef, "N");
    expectText(gps, kCGImagePropertyGPSLongitudeRef, "E");
    expectReal(gps, kCGImagePropertyGPSLatitude, 43.467448333333333); // 43° 28' 2.814"
    expectReal(gps, kCGImagePropertyGPSLongitude, 11.885126666666667); // 11° 53' 6.45599999"
}

TEST_F(ImageSourceCorpus, ReadsAPhoneHeicWithExifAndAWesternLongitude)
{
    SKIP_WITHOUT_CORPUS();
    auto properties = propertiesOf(inCorpus("heic/IMG_5195.HEIC"));
    expectText(sectionOf(properties, kCGImagePropertyTIFFDictionary), kCGImagePropertyTIFFModel, "iPhone 11 Pro Max");

    auto* exif = sectionOf(properties, kCGImagePropertyExifDictionary);
    ASSERT_NE(exif, nullptr);
    expectReal(exif, kCGImagePropertyExifFNumber, 1.8);
    expectReal(exif, kCGImagePropertyExifExposureTime, 0.0025575447570332483); // 1/391
    expectIntegers(exif, kCGImagePropertyExifISOSpeedRatings, { 32 });

    auto* gps = sectionOf(properties, kCGImagePropertyGPSDictionary);
    expectText(gps, kCGImagePropertyGPSLatitudeRef, "N");
    expectText(gps, kCGImagePropertyGPSLongitudeRef, "W");
    expectReal(gps, kCGImagePropertyGPSLatitude, 39.051344444444444); // 39° 3' 4.84"
    expectReal(gps, kCGImagePropertyGPSLongitude, 94.288772222222222); // 94° 17' 19.58"
}

TEST_F(ImageSourceCorpus, LeavesOutAMissingExifDirectoryAndAnEmptyGpsDirectory)
{
    SKIP_WITHOUT_CORPUS();
    auto heif = propertiesOf(inCorpus("heic/samplefilehub.heif"));
    ASSERT_NE(heif, nullptr);
    EXPECT_EQ(heif->objectForKey(kCGImagePropertyExifDictionary), nullptr);

    auto emptyGps = propertiesOf(inCorpus("jpg/tests/45-gps_ifd.jpg"));
    ASSERT_NE(emptyGps, nullptr);
    EXPECT_EQ(emptyGps->objectForKey(kCGImagePropertyGPSDictionary), nullptr);
}

TEST_F(ImageSourceCorpus, ReadsEveryFileWithoutHarmAndNoTextAsAnImage)
{
    SKIP_WITHOUT_CORPUS();
    size_t images = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus())) {
        if (!entry.is_regular_file())
            continue;
        const std::string path = entry.path().string();
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(path);
        bool opened = readsWithoutHarm(path);
        if (name.starts_with("README"))
            EXPECT_FALSE(opened);
        else if (opened)
            ++images;
    }
    EXPECT_GE(images, 25u);
}

TEST_F(ImageSourceCorpus, SurvivesRandomCorruptionOfCameraFiles)
{
    SKIP_WITHOUT_CORPUS();
    struct Row {
        const char* file;
        const char* name;
        size_t span;
    };
    const Row rows[] = {
        { "jpg/gps/DSCN0010.jpg", "bad.jpg", 16384 },
        { "heic/IMG_5195.HEIC", "bad.heic", 4096 },
        { "tiff/Jobagent.tiff", "bad.tiff", 16384 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        corruptRepeatedly(fixtures::readFile(inCorpus(row.file)), dir.path(), row.name, row.span, 250, 7);
    }
}
