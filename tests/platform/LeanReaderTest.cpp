// The lean reader against the full one (exiv2): wherever the lean reader
// takes a file, what it reads equals what the full reader reads, on JPEG,
// TIFF, PNG and WebP files of either byte order, on camera files (HEIC among them), and on
// thousands of damaged variants.

#include "imageio/ContentsText.h"
#include "imageio/FullReader.h"
#include "imageio/ImageProperties.h"
#include "imageio/LeanReader.h"
#include "imageio/RawValue.h"
#include "support/HeifFixture.h"
#include "support/ImageFixtures.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using fixtures::ExifEdits;
using fixtures::TempDir;
using imageio::ImageContents;

namespace {

const ExifEdits tableEdits = {
    { "Exif.Image.Make", "Nikon" },
    { "Exif.Image.Model", "D70" },
    { "Exif.Image.Software", "Ver.1.00 \xE9t\xE9" }, // Latin-1, read as such
    { "Exif.Image.DateTime", "2008:05:30 15:56:01" },
    { "Exif.Image.Orientation", "8" },
    { "Exif.Image.XResolution", "72/1" },
    { "Exif.Image.YResolution", "300/0" }, // no value: zero denominator
    { "Exif.Image.ResolutionUnit", "2" },
    { "Exif.Photo.FocalLength", "135/10" },
    { "Exif.Photo.FNumber", "28/10" },
    { "Exif.Photo.ExposureTime", "1/75" },
    { "Exif.Photo.ShutterSpeedValue", "-5/4" },
    { "Exif.Photo.ISOSpeedRatings", "100 200 400" },
    { "Exif.Photo.DateTimeOriginal", "2021:04:11 15:47:53" },
    { "Exif.Photo.Flash", "25" },
    { "Exif.Photo.ExposureBiasValue", "-1/2" },
    { "Exif.Photo.LightSource", "2.5", "Ascii" }, // a type the entry never has
    { "Exif.Photo.SubjectDistance", "3.5", "Float" },
    { "Exif.Photo.Gamma", "22/10" },
    { "Exif.Photo.ColorSpace", "1" },
    { "Exif.GPSInfo.GPSLatitudeRef", "S" },
    { "Exif.GPSInfo.GPSLatitude", "22/1 56/1 5537/100" },
    { "Exif.GPSInfo.GPSLongitudeRef", "West" },
    { "Exif.GPSInfo.GPSLongitude", "43/1 9/1 2680/100" },
};

std::string describe(const std::optional<ImageContents>& contents) { return imageio::describeContents(contents); }

// Whether the lean reader took the file; where it did, it must agree.
bool leanAgrees(const std::string& path)
{
    auto lean = imageio::readLean(path);
    if (!lean)
        return false;
    EXPECT_EQ(describe(lean), describe(imageio::readFull(path))) << path;
    return true;
}

// Rewrites the file's EXIF block in big-endian byte order. The library
// keeps the byte order of a block it updates, so the block goes first.
void makeBigEndian(const std::string& path)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    auto image = Exiv2::ImageFactory::open(path);
#pragma GCC diagnostic pop
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    image->clearExifData();
    image->writeMetadata();
    image->setByteOrder(Exiv2::bigEndian);
    image->setExifData(exif);
    image->writeMetadata();
    image->readMetadata();
    ASSERT_EQ(image->byteOrder(), Exiv2::bigEndian) << path;
}

// A TIFF file written entry by entry in either byte order, for what the
// metadata library will not write: a big-endian TIFF.
class TiffWriter {
public:
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        std::string data; // in the file's byte order
    };

    explicit TiffWriter(bool bigEndian)
        : big_(bigEndian)
    {
    }

    std::string u16(uint32_t value) const { return bytes(value, 2); }
    std::string u32(uint32_t value) const { return bytes(value, 4); }
    Entry ascii(uint16_t tag, const std::string& text) const { return { tag, 2, static_cast<uint32_t>(text.size() + 1), text + '\0' }; }
    Entry shortValue(uint16_t tag, uint16_t value) const { return { tag, 3, 1, u16(value) }; }
    Entry longValue(uint16_t tag, uint32_t value) const { return { tag, 4, 1, u32(value) }; }
    Entry rationals(uint16_t tag, std::vector<std::pair<int32_t, int32_t>> values, bool isSigned = false) const
    {
        std::string data;
        for (auto [numerator, denominator] : values)
            data += u32(static_cast<uint32_t>(numerator)) + u32(static_cast<uint32_t>(denominator));
        return { tag, static_cast<uint16_t>(isSigned ? 10 : 5), static_cast<uint32_t>(values.size()), data };
    }

    // The header, the first directory at offset 8, then the EXIF and GPS
    // directories it points to, each followed by its values.
    std::string file(std::vector<Entry> first, std::vector<Entry> exif, std::vector<Entry> gps) const
    {
        std::string out = big_ ? std::string("MM\0*", 4) : std::string("II*\0", 4);
        out += u32(8);
        const uint32_t firstSize = directorySize(first, 2);
        const uint32_t exifAt = 8 + firstSize;
        const uint32_t gpsAt = exifAt + directorySize(exif, 0);
        first.push_back(longValue(0x8769, exifAt));
        first.push_back(longValue(0x8825, gpsAt));
        out += directory(first, 8);
        out += directory(exif, exifAt);
        out += directory(gps, gpsAt);
        return out;
    }

private:
    std::string bytes(uint32_t value, int count) const
    {
        std::string out;
        for (int i = 0; i < count; ++i) {
            int shift = big_ ? 8 * (count - 1 - i) : 8 * i;
            out += static_cast<char>((value >> shift) & 0xFF);
        }
        return out;
    }
    static uint32_t directorySize(const std::vector<Entry>& entries, size_t extra)
    {
        uint32_t size = static_cast<uint32_t>(2 + 12 * (entries.size() + extra) + 4);
        for (const auto& entry : entries)
            size += entry.data.size() > 4 ? static_cast<uint32_t>(entry.data.size()) : 0;
        return size;
    }
    std::string directory(const std::vector<Entry>& entries, uint32_t at) const
    {
        std::string head = u16(static_cast<uint16_t>(entries.size()));
        std::string values;
        uint32_t valuesAt = at + static_cast<uint32_t>(2 + 12 * entries.size() + 4);
        for (const auto& entry : entries) {
            head += u16(entry.tag) + u16(entry.type) + u32(entry.count);
            if (entry.data.size() <= 4) {
                head += entry.data + std::string(4 - entry.data.size(), '\0');
            } else {
                head += u32(valuesAt + static_cast<uint32_t>(values.size()));
                values += entry.data;
            }
        }
        return head + u32(0) + values;
    }

    bool big_;
};

std::string writeTiffByHand(const TempDir& dir, const std::string& name, bool bigEndian)
{
    TiffWriter w(bigEndian);
    return fixtures::writeFile(dir.path(), name,
        w.file(
            {
                w.shortValue(0x0100, 40),
                w.longValue(0x0101, 30),
                w.ascii(0x010f, "Nikon"),
                w.ascii(0x0110, "D70 \xE9"),
                w.shortValue(0x0112, 6),
                w.rationals(0x011a, { { 72, 1 } }),
                w.rationals(0x011b, { { 300, 0 } }),
                w.ascii(0x0132, "2008:05:30 15:56:01"),
            },
            {
                w.rationals(0x829a, { { 1, 75 } }),
                w.rationals(0x829d, { { 28, 10 } }),
                { 0x8827, 3, 3, w.u16(100) + w.u16(200) + w.u16(400) },
                w.ascii(0x9003, "2021:04:11 15:47:53"),
                w.rationals(0x9201, { { -5, 4 } }, true),
                w.rationals(0x9204, { { -1, 2 } }, true),
                w.shortValue(0x9209, 25),
                { 0x9206, 11, 1, w.u32(0x40600000) }, // 3.5 as a float
                w.ascii(0x9208, "2.5"), // a type the entry never has
            },
            {
                w.ascii(0x0001, "S"),
                w.rationals(0x0002, { { 22, 1 }, { 56, 1 }, { 5537, 100 } }),
                w.ascii(0x0003, "West"),
                w.rationals(0x0004, { { 43, 1 }, { 9, 1 }, { 2680, 100 } }),
            }));
}

// The TIFF structure in a JPEG's EXIF segment.
std::string exifPayload(const std::string& jpeg)
{
    for (size_t at = 2; at + 10 <= jpeg.size();) {
        const auto marker = static_cast<uint8_t>(jpeg[at + 1]);
        const size_t size = static_cast<size_t>((static_cast<uint8_t>(jpeg[at + 2]) << 8) | static_cast<uint8_t>(jpeg[at + 3]));
        if (marker == 0xe1 && jpeg.compare(at + 4, 6, std::string("Exif\0\0", 6)) == 0)
            return jpeg.substr(at + 10, size - 8);
        at += 2 + size;
    }
    ADD_FAILURE() << "no EXIF segment";
    return {};
}

std::string bigEndian32(uint32_t value)
{
    return { static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8), static_cast<char>(value) };
}

std::string pngChunk(const std::string& type, const std::string& data)
{
    const std::string body = type + data;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    return bigEndian32(static_cast<uint32_t>(data.size())) + body + bigEndian32(static_cast<uint32_t>(crc));
}

// The text of a PNG's first zTXt chunk, keyword and NUL included, inflated.
std::string inflatedText(const std::string& png)
{
    for (size_t at = 8; at + 12 <= png.size();) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(png.data() + at);
        const size_t length = (size_t { bytes[0] } << 24) | (size_t { bytes[1] } << 16) | (size_t { bytes[2] } << 8) | bytes[3];
        if (png.compare(at + 4, 4, "zTXt") == 0) {
            const std::string data = png.substr(at + 8, length);
            const size_t keyword = data.find('\0') + 1; // then the compression method
            std::string text(1 << 16, '\0');
            uLongf size = text.size();
            const std::string packed = data.substr(keyword + 1);
            EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(text.data()), &size, reinterpret_cast<const Bytef*>(packed.data()), packed.size()), Z_OK);
            return data.substr(0, keyword) + text.substr(0, size);
        }
        at += 12 + length;
    }
    ADD_FAILURE() << "no zTXt chunk";
    return {};
}

// A PNG with `chunks` right after its header chunk; `base` is a PNG written
// by the metadata library (with whatever metadata it was given).
std::string writePngWith(const TempDir& dir, const std::string& name, const std::string& chunks, const std::string& base = {})
{
    std::string png = fixtures::readFile(base.empty() ? fixtures::writePng(dir.path(), name, 24, 16) : base);
    const size_t afterHeader = 8 + 8 + 13 + 4; // signature, then IHDR's length, type, data and check value
    png.insert(afterHeader, chunks);
    return fixtures::writeFile(dir.path(), name, png);
}

std::string littleEndian32(uint32_t value)
{
    return { static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16), static_cast<char>(value >> 24) };
}

std::string riffChunk(const std::string& type, const std::string& data)
{
    return type + littleEndian32(static_cast<uint32_t>(data.size())) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

// The canvas chunks of a 37 x 21 WebP (headers only: no reader here decodes
// the pixels): lossless, lossy, and the extended format's.
const std::string kLossless = riffChunk("VP8L", std::string("\x2f\x24\x00\x05\x00\x00\x00", 7));
const std::string kLossy = riffChunk("VP8 ", std::string("\x00\x00\x00\x9d\x01\x2a\x25\x00\x15\x00", 10));
const std::string kExtended = riffChunk("VP8X", std::string("\x08\x00\x00\x00\x24\x00\x00\x14\x00\x00", 10));

std::string writeWebp(const TempDir& dir, const std::string& name, const std::string& chunks)
{
    const std::string body = "WEBP" + chunks;
    return fixtures::writeFile(dir.path(), name, "RIFF" + littleEndian32(static_cast<uint32_t>(body.size())) + body);
}

struct Sample {
    std::string path;
    const char* type;
};

std::vector<Sample> makeSamples(const TempDir& dir)
{
    std::vector<Sample> samples {
        { fixtures::writeJpeg(dir.path(), "le.jpg", 64, 48, tableEdits), "public.jpeg" },
        { fixtures::writeJpeg(dir.path(), "be.jpg", 48, 64, tableEdits), "public.jpeg" },
        { fixtures::writeTiff(dir.path(), "le.tif", 40, 30, tableEdits), "public.tiff" },
        { writeTiffByHand(dir, "hand-be.tif", true), "public.tiff" },
        { writeTiffByHand(dir, "hand-le.tif", false), "public.tiff" },
        { fixtures::writeTiff(dir.path(), "raw.NEF", 8, 8, tableEdits), "com.nikon.raw-image" },
        { fixtures::writeTiff(dir.path(), "dng.tif", 8, 8, { { "Exif.Image.DNGVersion", "1 4 0 0" } }), "com.adobe.raw-image" },
        { fixtures::writeJpeg(dir.path(), "plain.jpg", 16, 16), "public.jpeg" },
    };
    makeBigEndian(samples[1].path);
    // PNG files with the same EXIF data in an eXIf chunk, in both byte orders.
    for (size_t jpeg : { 0, 1 }) {
        const std::string name = (jpeg ? "be" : "le") + std::string(".png");
        samples.push_back({ writePngWith(dir, name, pngChunk("eXIf", exifPayload(fixtures::readFile(samples[jpeg].path)))), "public.png" });
    }
    // WebP files with it in an EXIF chunk, with and without the "Exif" header.
    const std::string littleEndian = exifPayload(fixtures::readFile(samples[0].path));
    const std::string bigEndian = exifPayload(fixtures::readFile(samples[1].path));
    const std::string exifHeader("Exif\0\0", 6);
    samples.push_back({ writeWebp(dir, "le.webp", kExtended + kLossless + riffChunk("EXIF", littleEndian)), "org.webmproject.webp" });
    samples.push_back({ writeWebp(dir, "be.webp", kLossless + riffChunk("EXIF", exifHeader + bigEndian)), "org.webmproject.webp" });
    samples.push_back({ writeWebp(dir, "lossy.webp", kLossy + riffChunk("EXIF", exifHeader + littleEndian)), "org.webmproject.webp" });
    return samples;
}

std::filesystem::path corpus() { return std::filesystem::path(QUORIX_CORPUS_DIR); }

// Damaged copies of a file: bytes of its metadata changed at random, cut
// short, a byte order mark flipped.
void expectAgreementOnMutants(const std::string& original, const TempDir& dir, const std::string& name, int rounds,
    unsigned seed, int& taken, size_t headerSpan = 4096)
{
    std::mt19937 random(seed);
    const size_t span = std::min<size_t>(original.size(), headerSpan);
    for (int round = 0; round < rounds; ++round) {
        std::string bytes = original;
        switch (round % 4) {
        case 0:
        case 1:
            for (int change = 0; change < 1 + round % 3; ++change)
                bytes[random() % span] = static_cast<char>(random() & 0xFF);
            break;
        case 2:
            bytes.resize(random() % bytes.size());
            break;
        case 3: {
            // A 32-bit field set to a value near the end or past it.
            size_t at = random() % (span - 4);
            uint32_t value = static_cast<uint32_t>(bytes.size() - random() % 16);
            for (int k = 0; k < 4; ++k)
                bytes[at + static_cast<size_t>(k)] = static_cast<char>(value >> (8 * k));
            break;
        }
        }
        auto path = fixtures::writeFile(dir.path(), name, bytes);
        SCOPED_TRACE(name + " round " + std::to_string(round));
        if (leanAgrees(path))
            ++taken;
    }
}

} // namespace

TEST(LeanReader, ReadsEachFormatInEitherByteOrderAsTheFullReaderDoes)
{
    TempDir dir;
    for (const auto& sample : makeSamples(dir)) {
        SCOPED_TRACE(sample.path);
        EXPECT_TRUE(leanAgrees(sample.path)) << "left to the full reader";
        auto lean = imageio::readLean(sample.path);
        ASSERT_TRUE(lean);
        EXPECT_EQ(lean->type, sample.type);
        // The samples with the table's entries: every section, and no entry lost.
        if (sample.path.find("plain") == std::string::npos && sample.path.find("dng") == std::string::npos) {
            EXPECT_GE(lean->metadata.tiff.value_or(imageio::Section::value_type {}).size(), 5U);
            EXPECT_GE(lean->metadata.exif.value_or(imageio::Section::value_type {}).size(), 8U);
            EXPECT_EQ(lean->metadata.gps.value_or(imageio::Section::value_type {}).size(), 4U);
        }
    }
}

TEST(LeanReader, LeavesAJpegWhoseSegmentsHideBehindFillerToTheFullReader)
{
    // Each byte past the first window would be a read of its own.
    TempDir dir;
    std::string jpeg = fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 16, 16, tableEdits));
    jpeg.insert(2, std::string(256 * 1024, '\0'));
    auto path = fixtures::writeFile(dir.path(), "filler.jpg", jpeg);
    EXPECT_FALSE(imageio::readLean(path));
    auto full = imageio::readFull(path);
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->metadata.gps);
}

TEST(LeanReader, LeavesAJpegWhoseNikonMakerNoteIsDamagedToTheFullReader)
{
    // The note's own TIFF structure: its version (UNDEFINED, or a type no
    // TIFF has), and a pointer to a preview directory of one entry (LONG, or
    // again a type no TIFF has).
    auto note = [](int versionType, int previewType) {
        const int bytes[] = { 'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2,
            0, 1, versionType >> 8, versionType & 0xff, 0, 0, 0, 4, '0', '2', '1', '0',
            0, 0x11, 0, 4, 0, 0, 0, 1, 0, 0, 0, 38, 0, 0, 0, 0,
            0, 1, 1, 0x1a, previewType >> 8, previewType & 0xff, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0 };
        std::string text;
        for (int byte : bytes)
            text += (text.empty() ? "" : " ") + std::to_string(byte);
        return text;
    };
    TempDir dir;
    auto withNote = [&](const char* name, int versionType, int previewType) {
        return fixtures::writeJpeg(dir.path(), name, 16, 16,
            { { "Exif.Image.Make", "NIKON CORPORATION" }, { "Exif.Photo.MakerNote", note(versionType, previewType), "Undefined" } });
    };
    EXPECT_TRUE(leanAgrees(withNote("sound.jpg", 7, 4)));
    EXPECT_FALSE(imageio::readLean(withNote("damaged.jpg", 0x7447, 4)));
    EXPECT_FALSE(imageio::readLean(withNote("damaged-preview.jpg", 7, 0x492a)));
}

// An APP1 segment holding an XMP packet whose one property has the text
// given (a text starting "type=" names a type the packet's reader must know).
std::string xmpSegment(const std::string& creatorTool)
{
    const std::string packet = std::string("http://ns.adobe.com/xap/1.0/") + '\0'
        + "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
          "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"><xmp:CreatorTool>"
        + creatorTool + "</xmp:CreatorTool></rdf:Description></rdf:RDF></x:xmpmeta>";
    const size_t length = packet.size() + 2;
    return std::string("\xff\xe1", 2) + static_cast<char>(length >> 8) + static_cast<char>(length & 0xff) + packet;
}

TEST(LeanReader, AgreesWithTheFullReaderOnAJpegWhoseXmpPacketCannotBeDecoded)
{
    // A damaged XMP packet, before or after the EXIF segment, costs the
    // photo none of its EXIF facts, whichever reader takes it.
    TempDir dir;
    const std::string jpeg = fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 64, 48, tableEdits));
    const size_t exifStart = jpeg.find(std::string("\xff\xe1", 2));
    ASSERT_NE(exifStart, std::string::npos);
    const size_t afterExif = exifStart + 2 + ((uint8_t(jpeg[exifStart + 2]) << 8) | uint8_t(jpeg[exifStart + 3]));
    const std::string sound = describe(imageio::readLean(fixtures::writeFile(dir.path(), "sound.jpg", jpeg)));
    ASSERT_NE(sound.find("GPS:\n  Latitude"), std::string::npos) << sound;
    for (const char* text : { "Quorix 1.0", "type=Unknown value", "type=\"Seq\" none" }) {
        for (size_t at : { size_t { 2 }, afterExif }) {
            SCOPED_TRACE(std::string(text) + " at " + std::to_string(at));
            std::string bytes = jpeg;
            bytes.insert(at, xmpSegment(text));
            const auto path = fixtures::writeFile(dir.path(), "xmp.jpg", bytes);
            EXPECT_EQ(describe(imageio::readFull(path)), sound);
            EXPECT_TRUE(leanAgrees(path));
        }
    }
}

TEST(LeanReader, AgreesWithTheFullReaderOnAHeifWhoseExifItemHoldsAnXmpPacketThatCannotBeDecoded)
{
    // The EXIF item's first directory carries an XMP packet entry; a damaged
    // packet costs the photo none of its EXIF facts.
    TempDir dir;
    TiffWriter w(false);
    for (const char* text : { "Quorix 1.0", "type=Unknown value" }) {
        SCOPED_TRACE(text);
        const std::string packet = xmpSegment(text).substr(4 + 29);
        fixtures::HeifPicture picture;
        picture.width = 64;
        picture.height = 48;
        picture.exif = w.file({ w.ascii(0x010f, "Nikon"), w.shortValue(0x0112, 6), { 0x02bc, 1, static_cast<uint32_t>(packet.size()), packet } },
            { w.ascii(0x9003, "2021:04:11 15:47:53") }, {});
        const auto path = fixtures::writeFile(dir.path(), "xmp.heic", fixtures::heifBytes(picture));
        const std::string full = describe(imageio::readFull(path));
        EXPECT_NE(full.find("Make = \"Nikon\""), std::string::npos) << full;
        EXPECT_NE(full.find("DateTimeOriginal"), std::string::npos) << full;
        EXPECT_TRUE(leanAgrees(path));
    }
}

TEST(LeanReader, LeavesAWebpWhoseColourProfileIsDamagedToTheFullReader)
{
    // A profile states its size in its first four bytes; the full reader
    // gives up on a file whose profile does not, or is too short to.
    TempDir dir;
    const std::string exif = riffChunk("EXIF", exifPayload(fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 16, 16, tableEdits))));
    const std::string profile = bigEndian32(132) + std::string(128, '\x11');
    EXPECT_TRUE(leanAgrees(writeWebp(dir, "whole.webp", kExtended + riffChunk("ICCP", profile) + kLossless + exif)));
    for (const std::string& damaged : { bigEndian32(131) + std::string(128, '\x11'), exif.substr(8), bigEndian32(4), std::string() }) {
        const auto path = writeWebp(dir, "damaged.webp", kExtended + riffChunk("ICCP", damaged) + kLossless + exif);
        EXPECT_FALSE(imageio::readLean(path)) << damaged.size() << " bytes";
        EXPECT_FALSE(imageio::readFull(path)) << damaged.size() << " bytes";
    }
}

TEST(LeanReader, AgreesWithTheFullReaderOnAJpegWithManyCommentsBeforeItsExif)
{
    // Comments before the EXIF segment: those read as empty (no text, or a
    // NUL first) each use up one of the full reader's searches, and six of
    // them hide the EXIF from it; comments with text count once.
    TempDir dir;
    const std::string jpeg = fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 16, 16, tableEdits));
    auto comment = [](const std::string& text) { return std::string("\xff\xfe\0", 3) + char(text.size() + 2) + text; };
    const std::string sound = describe(imageio::readFull(fixtures::writeFile(dir.path(), "sound.jpg", jpeg)));
    for (const std::string& text : { std::string(), std::string("\0\0", 2), std::string("ab") }) {
        for (int count : { 5, 6 }) {
            SCOPED_TRACE(std::to_string(count) + " comments of " + std::to_string(text.size()) + " bytes");
            std::string comments;
            for (int i = 0; i < count; ++i)
                comments += comment(text);
            const auto path = fixtures::writeFile(dir.path(), "comments.jpg", jpeg.substr(0, 2) + comments + jpeg.substr(2));
            const std::string full = describe(imageio::readFull(path));
            EXPECT_EQ(full == sound, count < 6 || text == "ab") << full;
            if (auto lean = imageio::readLean(path)) {
                EXPECT_EQ(describe(lean), full);
            }
        }
    }
}

TEST(LeanReader, AgreesWithTheFullReaderOnAJpegWithSegmentsItTakesForFrameHeaders)
{
    // Before the EXIF segment, a segment of each marker from 0xC0 to 0xCF:
    // too short for a frame header, or one of a 16 x 16 frame. The full
    // reader stops at a short one it takes for a frame header (all but the
    // Huffman tables'), and must then be followed.
    TempDir dir;
    const std::string jpeg = fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 16, 16, tableEdits));
    const std::string sound = describe(imageio::readFull(fixtures::writeFile(dir.path(), "sound.jpg", jpeg)));
    for (int marker = 0xc0; marker <= 0xcf; ++marker) {
        for (const std::string& body : { std::string(), std::string("\x08\0\x10\0\x10\x01\x01\x11\0", 9) }) {
            SCOPED_TRACE("marker " + std::to_string(marker) + ", " + std::to_string(body.size()) + " bytes");
            const std::string segment = std::string("\xff", 1) + char(marker) + '\0' + char(body.size() + 2) + body;
            const auto path = fixtures::writeFile(dir.path(), "frame.jpg", jpeg.substr(0, 2) + segment + jpeg.substr(2));
            const std::string full = describe(imageio::readFull(path));
            EXPECT_EQ(full == sound, marker == 0xc4 || !body.empty()) << full;
            if (auto lean = imageio::readLean(path)) {
                EXPECT_EQ(describe(lean), full);
            }
        }
    }
}

TEST(LeanReader, AgreesWithTheFullReaderOnAJpegWhateverItsColourProfileSegmentsHold)
{
    // APP2 segments marked "ICC_PROFILE" (whatever byte follows), each with
    // its chunk number, chunk count, the size its profile states and the
    // profile's bytes in the segment. Whole profiles must be read; damaged
    // ones left, or read alike.
    TempDir dir;
    const std::string jpeg = fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 16, 16, tableEdits));
    auto profile = [](int chunk, int chunks, uint32_t stated, size_t bytes, char twelfth = '\0') {
        const std::string body = std::string("ICC_PROFILE") + twelfth + char(chunk) + char(chunks) + bigEndian32(stated)
            + std::string(bytes - 4, '\0');
        return std::string("\xff\xe2", 2) + char((body.size() + 2) >> 8) + char((body.size() + 2) & 0xff) + body;
    };
    const std::pair<std::string, bool> cases[] = {
        { profile(1, 1, 100, 100), true },
        { profile(1, 1, 50, 100), true },
        { profile(2, 2, 100, 100), true },
        { profile(1, 2, 5, 100), true },
        { profile(1, 1, 150, 100), false },
        { profile(1, 1, 4, 100), false },
        { profile(2, 2, 99, 100), false },
        { profile(0, 0, 150, 100), false },
        { profile(255, 255, 0xffffffff, 100, '\xff'), false },
        { profile(1, 1, 100, 100) + profile(1, 1, 100, 100), false },
    };
    int number = 0;
    for (const auto& [segments, whole] : cases) {
        SCOPED_TRACE("case " + std::to_string(number++));
        const auto path = fixtures::writeFile(dir.path(), "profile.jpg", jpeg.substr(0, 2) + segments + jpeg.substr(2));
        const auto full = imageio::readFull(path);
        EXPECT_EQ(full.has_value(), whole);
        if (auto lean = imageio::readLean(path)) {
            EXPECT_EQ(describe(lean), describe(full));
        }
    }
    EXPECT_TRUE(leanAgrees(fixtures::writeFile(dir.path(), "whole.jpg", jpeg.substr(0, 2) + profile(1, 1, 100, 100) + jpeg.substr(2))));
}

TEST(LeanReader, LeavesAJpegWhoseFujifilmMakerNotePointsOutsideItToTheFullReader)
{
    // The note's directory (little-endian, offsets from the note's start)
    // of one signed rational, its value at `valueAt`.
    auto note = [](uint32_t valueAt) {
        std::vector<int> bytes = { 'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M', 12, 0, 0, 0, 1, 0, 0x11, 0x10, 10, 0, 1, 0, 0, 0 };
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<int>((valueAt >> shift) & 0xff));
        for (int byte : { 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0 })
            bytes.push_back(byte);
        std::string text;
        for (int byte : bytes)
            text += (text.empty() ? "" : " ") + std::to_string(byte);
        return text;
    };
    TempDir dir;
    auto withNote = [&](const char* name, uint32_t valueAt) {
        return fixtures::writeJpeg(dir.path(), name, 16, 16,
            { { "Exif.Image.Make", "FUJIFILM" }, { "Exif.Photo.MakerNote", note(valueAt), "Undefined" } });
    };
    EXPECT_TRUE(leanAgrees(withNote("sound.jpg", 30)));
    EXPECT_FALSE(imageio::readLean(withNote("outside.jpg", 31)));
    EXPECT_FALSE(imageio::readLean(withNote("far-outside.jpg", 0xfffffff0)));
}

TEST(LeanReader, AgreesWithTheFullReaderOnJpegsWhoseMakerNotesPointFarOutside)
{
    // Notes whose offsets count from their own start (little-endian), each
    // ending in one entry of a type, a count and a value's offset: an
    // Olympus note's focus-information sub-directory, a Samsung note's
    // directory, a Nikon note's own TIFF structure.
    struct Last {
        uint16_t type;
        uint32_t count;
        uint32_t value;
    };
    auto bytesOf = [](std::vector<int> bytes, Last last) {
        for (auto [number, size] : { std::pair<uint64_t, int> { last.type, 2 }, { last.count, 4 }, { last.value, 4 }, { 0, 4 } }) {
            for (int shift = 0; shift < size * 8; shift += 8)
                bytes.push_back(static_cast<int>((number >> shift) & 0xff));
        }
        std::string text;
        for (int byte : bytes)
            text += (text.empty() ? "" : " ") + std::to_string(byte);
        return text;
    };
    struct Maker {
        const char* make;
        std::vector<int> head; // the note up to its last entry's type
        uint32_t base; // where its offsets count from, past the note's start
    };
    const Maker makers[] = {
        { "OLYMPUS IMAGING CORP.",
            { 'O', 'L', 'Y', 'M', 'P', 'U', 'S', 0, 'I', 'I', 3, 0, 1, 0, 0x50, 0x20, 13, 0, 1, 0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0,
                0x01, 3, 0, 1, 0, 0, 0, 7, 0, 0, 0, 5, 0x04 },
            0 },
        { "SAMSUNG", { 2, 0, 0, 0x01, 3, 0, 1, 0, 0, 0, 7, 0, 0, 0, 2, 0 }, 0 },
        { "NIKON CORPORATION", { 'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 2, 0 }, 10 },
    };
    TempDir dir;
    for (const Maker& maker : makers) {
        SCOPED_TRACE(maker.make);
        auto withNote = [&](Last last) {
            return fixtures::writeJpeg(dir.path(), "note.jpg", 16, 16,
                { { "Exif.Image.Make", maker.make }, { "Exif.Photo.MakerNote", bytesOf(maker.head, last), "Undefined" } });
        };
        // A sound note is the lean reader's to read.
        const auto sound = withNote({ 3, 1, 9 });
        EXPECT_TRUE(leanAgrees(sound));
        // The full reader adds the note's place in the TIFF structure to an
        // offset, wrapping past 32 bits, and gives up on a file whose entry
        // then lands inside the structure but runs far past its end. The
        // lean reader must leave it.
        const std::string written = fixtures::readFile(sound);
        const std::string head(maker.head.begin(), maker.head.end());
        const auto noteAt = written.find(head) - (written.find(std::string("Exif\0\0", 6)) + 6);
        const auto wrapped = withNote({ 4, 67305472,
            static_cast<uint32_t>(16 - noteAt - maker.base) });
        EXPECT_FALSE(imageio::readFull(wrapped));
        EXPECT_FALSE(imageio::readLean(wrapped));
        // Other damage is left, or read alike.
        for (Last last : { Last { 0, 1, 0 }, Last { 4, 2, 0xfffffff0 }, Last { 7, 0x0fffffff, 64 } }) {
            const auto path = withNote(last);
            if (auto lean = imageio::readLean(path)) {
                EXPECT_EQ(describe(lean), describe(imageio::readFull(path)));
            }
        }
    }
}

TEST(LeanReader, LeavesFilesTooShortForTheFullReaderToIt)
{
    // Each file one byte short of what the full reader reads, and one that
    // has that byte: a HEIF's file type and free boxes (80 bytes), a TIFF
    // header and its empty first directory padded (16), a WebP container
    // header and one padded chunk header (16).
    TempDir dir;
    auto box = [](const std::string& type, const std::string& body) { return bigEndian32(static_cast<uint32_t>(8 + body.size())) + type + body; };
    const std::string fileType = box("ftyp", std::string("heic\0\0\0\0mif1heic", 16));
    const std::pair<const char*, std::string> files[] = {
        { "short.heic", fileType + box("free", std::string(48, '\0')) },
        { "short.tiff", std::string("II*\0\x08\0\0\0\0\0\0\0\0\0\0\0", 16) },
        { "short.webp", std::string("RIFF\x04\0\0\0WEBP\0\0\0\0", 16) },
    };
    for (const auto& [name, whole] : files) {
        for (size_t length : { whole.size() - 1, whole.size() }) {
            const auto path = fixtures::writeFile(dir.path(), name, whole.substr(0, length));
            const bool readable = length == whole.size();
            EXPECT_EQ(imageio::readLean(path).has_value(), readable) << name << ", " << length << " bytes";
            EXPECT_EQ(imageio::readFull(path).has_value(), readable) << name << ", " << length << " bytes";
            leanAgrees(path);
        }
    }
}

TEST(LeanReader, LeavesAPngTooShortToHoldAPixelSizeToTheFullReader)
{
    // The signature and an end chunk: the full reader reads a pixel size
    // from bytes 16 to 24 first, and gives up on a file of fewer.
    TempDir dir;
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IEND", "");
    for (const std::string& tail : { std::string(2, '\x01'), std::string(4, '\x01') }) {
        const auto path = fixtures::writeFile(dir.path(), "end.png", png + tail);
        EXPECT_EQ(imageio::readLean(path).has_value(), tail.size() == 4) << png.size() + tail.size() << " bytes";
        EXPECT_EQ(describe(imageio::readFull(path)), tail.size() == 4 ? describe(imageio::readLean(path)) : "no image\n");
    }
}

TEST(LeanReader, LeavesAPngWhoseOtherChunksMayHoldMetadataToTheFullReader)
{
    TempDir dir;
    const std::string exif = pngChunk("eXIf", exifPayload(fixtures::readFile(fixtures::writeJpeg(dir.path(), "a.jpg", 16, 16, tableEdits))));
    const std::string otherExif = pngChunk("eXIf",
        exifPayload(fixtures::readFile(fixtures::writeJpeg(dir.path(), "b.jpg", 16, 16, { { "Exif.Image.Make", "Other" } }))));

    // An ordinary text chunk changes nothing: the lean reader takes the file.
    EXPECT_TRUE(leanAgrees(writePngWith(dir, "text.png", pngChunk("tEXt", std::string("Software\0vips 8.14", 18)) + exif)));

    // The library writes EXIF into a PNG as a compressed raw profile.
    const std::string profile = fixtures::writePng(dir.path(), "profile.png", 24, 16, tableEdits);
    EXPECT_FALSE(imageio::readLean(profile));
    auto full = imageio::readFull(profile);
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->metadata.gps);

    // Wherever EXIF data could come from two places, the lean reader must
    // agree with the full one if it takes the file at all.
    // The same raw profile, uncompressed.
    const std::string rawProfile = inflatedText(fixtures::readFile(profile));
    ASSERT_EQ(rawProfile.rfind("Raw profile type exif", 0), 0U) << rawProfile.substr(0, 40);
    const std::string twoSources[] = {
        writePngWith(dir, "two.png", exif + otherExif),
        writePngWith(dir, "profile-and-exif.png", otherExif, profile),
        writePngWith(dir, "text-profile.png", pngChunk("tEXt", rawProfile) + otherExif),
        writePngWith(dir, "exif-text-profile.png", otherExif + pngChunk("tEXt", rawProfile)),
    };
    for (const auto& path : twoSources) {
        SCOPED_TRACE(path);
        leanAgrees(path);
    }
}

TEST(LeanReader, FindsTheTableEntriesUnderTheFullReadersNames)
{
    // The lean reader knows entries by number, the full reader by name.
    for (const auto& entry : imageio::tableEntryNames()) {
        SCOPED_TRACE(std::string(entry.exivKey));
        Exiv2::ExifKey key { std::string(entry.exivKey) };
        EXPECT_EQ(key.tag(), entry.tag);
    }
}

TEST(LeanReader, TakesTheTableEntriesOfEachDirectoryAndNoOtherTag)
{
    // Every tag of a directory, in order, each with its own number as value:
    // a property may only come from a table entry of that directory.
    using imageio::Directory;
    for (Directory directory : { Directory::Image, Directory::Photo, Directory::GPSInfo }) {
        SCOPED_TRACE(static_cast<int>(directory));
        std::set<long long> tableTags;
        for (const auto& entry : imageio::tableEntryNames()) {
            if (entry.directory == directory)
                tableTags.insert(entry.tag);
        }
        imageio::EntryCollector collector;
        for (uint32_t tag = 0; tag <= 0xffff; ++tag) {
            const std::array<uint8_t, 2> bytes { static_cast<uint8_t>(tag & 0xff), static_cast<uint8_t>(tag >> 8) };
            const imageio::RawValue value { imageio::kTiffShort, bytes, true };
            EXPECT_EQ(imageio::EntryCollector::wanted(directory, static_cast<uint16_t>(tag)), tableTags.count(tag) == 1) << tag;
            collector.add(directory, static_cast<uint16_t>(tag), &value);
        }
        auto metadata = collector.finish(0, 0);
        const auto& section = directory == Directory::Image ? metadata.tiff : directory == Directory::Photo ? metadata.exif : metadata.gps;
        ASSERT_TRUE(section.has_value());
        std::set<long long> found;
        for (const auto& property : *section) {
            SCOPED_TRACE(property.key);
            const auto* number = std::get_if<imageio::Number>(&property.value);
            const auto* list = std::get_if<std::vector<imageio::Number>>(&property.value);
            ASSERT_TRUE(number || (list && list->size() == 1));
            const long long tag = std::get<long long>(number ? *number : list->front());
            EXPECT_EQ(tableTags.count(tag), 1u) << "a property from tag " << tag;
            EXPECT_TRUE(found.insert(tag).second);
        }
        // The GPS entries the table reads are texts and coordinates, which no short gives.
        EXPECT_EQ(found.empty(), directory == Directory::GPSInfo);
    }
}

TEST(LeanReader, AgreesWithTheFullReaderOnDamagedFiles)
{
    TempDir dir;
    int taken = 0;
    unsigned seed = 2026;
    for (const auto& sample : makeSamples(dir)) {
        auto name = std::filesystem::path(sample.path).filename().string();
        expectAgreementOnMutants(fixtures::readFile(sample.path), dir, "bad-" + name, 300, seed++, taken);
    }
    // Most damage leaves the table's entries readable: a reader that gave
    // up on every damaged file would not be tested here.
    EXPECT_GT(taken, 600);
}

// A hand-written TIFF whose entries (the table's, and those the reader
// sizes the image by) each have the given type and count, their values made
// of words on the edges the readings treat apart.
std::string writeTiffOfTypes(const TempDir& dir, const std::string& name, bool bigEndian, std::mt19937& random,
    const std::function<std::pair<uint16_t, uint32_t>()>& typeAndCount)
{
    static constexpr uint32_t awkwardWords[] = { 0, 1, 6, 0x30, 0x80, 0xFF, 0x7FFF, 0x8000, 999999, 1000000, 0x7FFFFFFF,
        0x80000000, 0xFFFFFFFF, 0x7F800000, 0x7FC00000, 0x4F000000, 0x32303231 };
    static constexpr uint32_t typeSizes[] = { 0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4 };
    TiffWriter w(bigEndian);
    auto entry = [&](uint16_t tag) {
        auto [type, count] = typeAndCount();
        std::string data;
        while (data.size() < size_t { count } * typeSizes[type])
            data += w.u32(awkwardWords[random() % std::size(awkwardWords)]);
        data.resize(size_t { count } * typeSizes[type]);
        return TiffWriter::Entry { tag, type, count, data };
    };
    std::vector<TiffWriter::Entry> directories[3];
    for (uint16_t tag : { 0x00fe, 0x0100, 0x0101 })
        directories[0].push_back(entry(tag));
    for (uint16_t tag : { 0xa002, 0xa003 })
        directories[1].push_back(entry(tag));
    for (const auto& named : imageio::tableEntryNames())
        directories[static_cast<int>(named.directory)].push_back(entry(named.tag));
    return fixtures::writeFile(dir.path(), name, w.file(directories[0], directories[1], directories[2]));
}

TEST(LeanReader, AgreesWithTheFullReaderWhateverTypeAndCountAnEntryHas)
{
    TempDir dir;
    std::mt19937 random(15);
    constexpr uint32_t counts[] = { 0, 1, 2, 3, 1000 };
    int taken = 0;
    int files = 0;
    for (bool bigEndian : { false, true }) {
        // Every entry of one type and count...
        for (uint16_t type = 1; type <= 13; ++type) {
            for (uint32_t count : counts) {
                SCOPED_TRACE("type " + std::to_string(type) + " count " + std::to_string(count));
                taken += leanAgrees(writeTiffOfTypes(dir, "typed.tif", bigEndian, random, [&] { return std::pair(type, count); }));
                ++files;
            }
        }
        // ...and each entry of its own.
        for (int round = 0; round < 60; ++round) {
            SCOPED_TRACE("mixed round " + std::to_string(round));
            taken += leanAgrees(writeTiffOfTypes(dir, "mixed.tif", bigEndian, random,
                [&] { return std::pair(static_cast<uint16_t>(1 + random() % 13), counts[random() % std::size(counts)]); }));
            ++files;
        }
    }
    // The lean reader gives up on none of these: they are well-formed.
    EXPECT_EQ(taken, files);
}

TEST(LeanReaderCorpus, AgreesWithTheFullReaderOnEveryCameraFile)
{
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no sample corpus at " << corpus().string() << "; camera-file tests skipped";
    int taken = 0;
    std::string left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus())) {
        if (!entry.is_regular_file())
            continue;
        if (leanAgrees(entry.path().string()))
            ++taken;
        else
            left += " " + entry.path().lexically_relative(corpus()).string();
    }
    std::printf("left to the full reader:%s\n", left.c_str());
    EXPECT_GT(taken, 20);
    for (const char* file : { "jpg/Canon_40D.jpg", "jpg/gps/DSCN0010.jpg", "tiff/Arbitro.tiff", "heic/IMG_5195.HEIC", "heic/samplefilehub.heif" })
        EXPECT_TRUE(imageio::readLean((corpus() / file).string())) << file << " left to the full reader";
}

TEST(LeanReaderCorpus, LeavesAHeicThatLocatesAnItemTwiceToTheFullReader)
{
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no sample corpus at " << corpus().string() << "; camera-file tests skipped";
    TempDir dir;
    std::string bytes = fixtures::readFile((corpus() / "heic/IMG_5195.HEIC").string());
    // The phone's location table: version 1, 4-byte offsets and lengths, no
    // base offset, so 16 bytes an item after its 8-byte head.
    const size_t table = bytes.find("iloc") + 4;
    ASSERT_EQ(bytes.substr(table, 6), std::string("\x01\0\0\0\x44\0", 6));
    ASSERT_TRUE(imageio::readLean(fixtures::writeFile(dir.path(), "whole.heic", bytes)));
    // The second item takes the first one's number.
    bytes.replace(table + 8 + 16, 2, bytes.substr(table + 8, 2));
    EXPECT_FALSE(imageio::readLean(fixtures::writeFile(dir.path(), "twice.heic", bytes)));
}

TEST(LeanReaderCorpus, AgreesWithTheFullReaderOnDamagedCameraFiles)
{
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no sample corpus at " << corpus().string() << "; camera-file tests skipped";
    TempDir dir;
    int taken = 0;
    unsigned seed = 77;
    for (const char* file : { "jpg/Canon_40D.jpg", "jpg/gps/DSCN0010.jpg", "jpg/Nikon_D70.jpg", "tiff/Jobagent.tiff" })
        expectAgreementOnMutants(fixtures::readFile((corpus() / file).string()), dir, "bad", 250, seed++, taken);
    // A phone's HEIC: its boxes, and the EXIF item that follows them.
    expectAgreementOnMutants(fixtures::readFile((corpus() / "heic/IMG_5195.HEIC").string()), dir, "bad.heic", 300, seed++, taken, 8192);
    EXPECT_GT(taken, 300);
}

TEST(LeanReaderCorpus, AgreesWithTheFullReaderOnCameraFilesWhoseXmpPacketCannotBeDecoded)
{
    // One XMP value of each file made one of a type no packet has, in as
    // many bytes: a TIFF's packet entry, a phone's XMP item.
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no sample corpus at " << corpus().string() << "; camera-file tests skipped";
    TempDir dir;
    const std::tuple<const char*, std::string, std::string> cases[] = {
        { "tiff/Arbitro.tiff", "<tiff:Compression>5</tiff:Compression>", "<tiff:Software>type=X1</tiff:Software>" },
        { "heic/IMG_5195.HEIC", "xmp:CreatorTool=\"14.4.2\"", "xmp:CreatorTool=\"type=X\"" },
    };
    for (const auto& [file, sound, damaged] : cases) {
        SCOPED_TRACE(file);
        std::string bytes = fixtures::readFile((corpus() / file).string());
        const size_t at = bytes.find(sound);
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, sound.size(), damaged);
        const auto path = fixtures::writeFile(dir.path(), std::filesystem::path(file).filename().string(), bytes);
        auto full = imageio::readFull(path);
        ASSERT_TRUE(full);
        EXPECT_TRUE(full->metadata.tiff);
        EXPECT_TRUE(leanAgrees(path));
    }
}

// Files the two readers once read differently, found by fuzzing both on the
// same bytes; each read in place, with what both now give.
TEST(LeanReaderCorpus, AgreesWithTheFullReaderOnFilesTheyOnceReadApart)
{
    const auto folder = corpus().parent_path() / "reproducers" / "lean-full";
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no reproducers at " << folder.string();
    const std::pair<const char*, const char*> cases[] = {
        // Junk after its start: no frame header can be told from it.
        { "jpeg-frame-size.bin", "type public.jpeg\nsize none x none\nshown none x none\norientation none\n"
                                 "TIFF: absent\nExif: absent\nGPS: absent\n" },
        // Two colour profiles, each whole: the full reader gives up.
        { "jpeg-exif-rows.bin", "no image\n" },
        // The EXIF item's first "MM" is at an odd offset: the full reader gives up.
        { "heif-tiff-rows.bin", "no image\n" },
        // An "EXiF" chunk: the full reader reads it, and its date and
        // software hold control characters, which are no text.
        { "webp-exif-text.bin", "type org.webmproject.webp\nsize 37 x 21\nshown 37 x 21\norientation 1\nTIFF:\n"
                                "  Make = \"Quorix Prb\"\n"
                                "  Model = \"\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBF\"\n"
                                "  Orientation = 1\n  ResolutionUnit = 2\n  XResolution = 0.00068057235461188841 (real)\n"
                                "  YResolution = 0.0045045045045045045 (real)\nExif: absent\nGPS: absent\n" },
    };
    for (const auto& [name, expected] : cases) {
        const std::string path = (folder / name).string();
        const std::string full = describe(imageio::readFull(path));
        EXPECT_EQ(full, expected) << name;
        if (auto lean = imageio::readLean(path)) {
            EXPECT_EQ(describe(lean), full) << name;
        }
    }
}
