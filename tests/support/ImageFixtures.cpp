#include "support/ImageFixtures.h"

#include <exiv2/exiv2.hpp>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <system_error>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace fixtures {

namespace {

void checkSize(int width, int height)
{
    if (width < 1 || height < 1 || width > 65500 || height > 65500)
        throw std::invalid_argument("image size out of range");
}

std::string joinPath(const std::string& dir, std::string_view name)
{
    return (std::filesystem::path(dir) / std::filesystem::path(name)).string();
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openForWriting(const std::string& path)
{
    File file(std::fopen(path.c_str(), "wb"));
    if (!file)
        throw std::runtime_error("cannot create " + path);
    return file;
}

void writeAll(std::FILE* file, const void* data, size_t size, const std::string& path)
{
    if (size && std::fwrite(data, 1, size, file) != size)
        throw std::runtime_error("cannot write " + path);
}

// A gradient, so the pixels are not all alike.
unsigned char pixel(int x, int y) { return static_cast<unsigned char>((x + 2 * y) & 0xFF); }

void appendBigEndian32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void appendPngChunk(std::string& out, std::string_view type, std::string_view data)
{
    appendBigEndian32(out, static_cast<uint32_t>(data.size()));
    std::string body(type);
    body.append(data);
    out += body;
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    appendBigEndian32(out, static_cast<uint32_t>(crc));
}

void appendLittleEndian16(std::string& out, uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void appendLittleEndian32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void appendTiffEntry(std::string& out, uint16_t tag, uint16_t type, uint32_t value)
{
    appendLittleEndian16(out, tag);
    appendLittleEndian16(out, type);
    appendLittleEndian32(out, 1);
    if (type == 3) { // SHORT: the value sits in the first two bytes of the field
        appendLittleEndian16(out, static_cast<uint16_t>(value));
        appendLittleEndian16(out, 0);
    } else {
        appendLittleEndian32(out, value);
    }
}

} // namespace

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quorix-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(std::string_view name) const { return joinPath(path_, name); }

std::string writeJpeg(const std::string& dir, const std::string& name, int width, int height, const ExifEdits& edits)
{
    checkSize(width, height);
    std::string path = joinPath(dir, name);
    {
        File file = openForWriting(path);
        jpeg_compress_struct info {};
        jpeg_error_mgr errors {};
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        jpeg_stdio_dest(&info, file.get());
        info.image_width = static_cast<JDIMENSION>(width);
        info.image_height = static_cast<JDIMENSION>(height);
        info.input_components = 1;
        info.in_color_space = JCS_GRAYSCALE;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 85, TRUE);
        jpeg_start_compress(&info, TRUE);
        std::vector<JSAMPLE> row(static_cast<size_t>(width));
        while (info.next_scanline < info.image_height) {
            int y = static_cast<int>(info.next_scanline);
            for (int x = 0; x < width; ++x)
                row[static_cast<size_t>(x)] = pixel(x, y);
            JSAMPROW rows[] = { row.data() };
            jpeg_write_scanlines(&info, rows, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
    }
    if (!edits.empty())
        applyExif(path, edits);
    return path;
}

std::string jpegBytes(int width, int height, const std::function<Rgb(int x, int y)>& paint)
{
    checkSize(width, height);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            const Rgb colour = paint(x, y);
            JSAMPLE* at = &row[static_cast<size_t>(x) * 3];
            at[0] = colour.red, at[1] = colour.green, at[2] = colour.blue;
        }
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), length);
    std::free(buffer);
    return bytes;
}

std::string writePng(const std::string& dir, const std::string& name, int width, int height, const ExifEdits& edits)
{
    checkSize(width, height);
    std::string header;
    appendBigEndian32(header, static_cast<uint32_t>(width));
    appendBigEndian32(header, static_cast<uint32_t>(height));
    header += std::string { 8, 0, 0, 0, 0 }; // 8-bit greyscale, deflate, no filter, no interlace

    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) + 1));
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // filter type None
        for (int x = 0; x < width; ++x)
            raw += static_cast<char>(pixel(x, y));
    }
    uLongf compressedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string compressed(compressedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &compressedSize, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), Z_BEST_SPEED)
        != Z_OK)
        throw std::runtime_error("cannot compress PNG pixels");
    compressed.resize(compressedSize);

    std::string png = "\x89PNG\r\n\x1a\n";
    appendPngChunk(png, "IHDR", header);
    appendPngChunk(png, "IDAT", compressed);
    appendPngChunk(png, "IEND", {});
    std::string path = writeFile(dir, name, png);
    if (!edits.empty())
        applyExif(path, edits);
    return path;
}

std::string writeTiff(const std::string& dir, const std::string& name, int width, int height, const ExifEdits& edits)
{
    checkSize(width, height);
    constexpr uint16_t shortType = 3;
    constexpr uint16_t longType = 4;
    constexpr uint16_t entryCount = 9;
    constexpr uint32_t directoryOffset = 8;
    constexpr uint32_t pixelOffset = directoryOffset + 2 + entryCount * 12 + 4;
    const uint32_t pixelBytes = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);

    std::string head = "II*";
    head += '\0';
    appendLittleEndian32(head, directoryOffset);
    appendLittleEndian16(head, entryCount);
    appendTiffEntry(head, 256, longType, static_cast<uint32_t>(width)); // ImageWidth
    appendTiffEntry(head, 257, longType, static_cast<uint32_t>(height)); // ImageLength
    appendTiffEntry(head, 258, shortType, 8); // BitsPerSample
    appendTiffEntry(head, 259, shortType, 1); // Compression: none
    appendTiffEntry(head, 262, shortType, 1); // PhotometricInterpretation: black is zero
    appendTiffEntry(head, 273, longType, pixelOffset); // StripOffsets
    appendTiffEntry(head, 277, shortType, 1); // SamplesPerPixel
    appendTiffEntry(head, 278, longType, static_cast<uint32_t>(height)); // RowsPerStrip
    appendTiffEntry(head, 279, longType, pixelBytes); // StripByteCounts
    appendLittleEndian32(head, 0); // no next directory

    std::string path = joinPath(dir, name);
    {
        File file = openForWriting(path);
        writeAll(file.get(), head.data(), head.size(), path);
        std::vector<unsigned char> row(static_cast<size_t>(width));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                row[static_cast<size_t>(x)] = pixel(x, y);
            writeAll(file.get(), row.data(), row.size(), path);
        }
        if (std::fflush(file.get()) != 0)
            throw std::runtime_error("cannot write " + path);
    }
    if (!edits.empty())
        applyExif(path, edits);
    return path;
}

void applyExif(const std::string& path, const ExifEdits& edits)
{
    try {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        for (const auto& edit : edits) {
            if (edit.type.empty()) {
                if (exif[edit.key].setValue(edit.value) != 0)
                    throw std::runtime_error("cannot read '" + edit.value + "' for " + edit.key);
                continue;
            }
            Exiv2::TypeId type = Exiv2::TypeInfo::typeId(edit.type);
            if (type == Exiv2::invalidTypeId)
                throw std::runtime_error("unknown exiv2 type " + edit.type);
            auto value = Exiv2::Value::create(type);
            if (value->read(edit.value) != 0)
                throw std::runtime_error("cannot read '" + edit.value + "' as " + edit.type);
            Exiv2::ExifKey key(edit.key);
            for (auto it = exif.findKey(key); it != exif.end(); it = exif.findKey(key))
                exif.erase(it);
            exif.add(key, value.get());
        }
        image->writeMetadata();
    } catch (const Exiv2::AnyError& error) {
        throw std::runtime_error("cannot write metadata into " + path + ": " + error.what());
    }
}

std::string writeFile(const std::string& dir, const std::string& name, std::string_view bytes)
{
    std::string path = joinPath(dir, name);
    File file = openForWriting(path);
    writeAll(file.get(), bytes.data(), bytes.size(), path);
    if (std::fflush(file.get()) != 0)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace fixtures
