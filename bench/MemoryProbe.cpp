// memory-probe [FILE...]
//
// Peak resident memory of one full parse (parseAsset, resetParser,
// dateForAsset), each in a fresh process: of nothing (the loaded libraries
// alone), of the small sample JPEG, of a generated uncompressed TIFF of about
// 200 MB whose directory sits behind the pixels, and of any FILE given. The
// parser reads metadata only, so the big file should cost no more than the
// small one.
//
// Each measurement runs this program again as `memory-probe --parse FILE`; the
// child's exit status is the number of sections it got (0 to 4), which shows
// that the parse read the file, and wait4 gives its peak resident size.

#include "photolibrary/PLManagedAsset.h"
#include "parser/QXParser.h"
#include "runtime/AutoreleasePool.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

int parseOnce(const char* path)
{
    AutoreleasePool pool;
    auto* parser = QXParser::sharedQXParser();
    auto asset = PLManagedAsset::assetWithPath(path);
    auto sections = parser->parseAsset(asset);
    parser->resetParser();
    parser->dateForAsset(asset);
    return static_cast<int>(sections->count());
}

class LittleEndian {
public:
    void u16(uint16_t v)
    {
        bytes.push_back(static_cast<char>(v & 0xFF));
        bytes.push_back(static_cast<char>(v >> 8));
    }
    void u32(uint32_t v)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
    void entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t valueOrOffset)
    {
        u16(tag);
        u16(type);
        u32(count);
        if (type == 3 && count == 1) {
            u16(static_cast<uint16_t>(valueOrOffset)); // a short sits left-justified in the value field
            u16(0);
        } else {
            u32(valueOrOffset);
        }
    }
    std::string bytes;
};

// A baseline RGB TIFF of width x height pixels, 16 rows a strip, with the
// pixels first and the image directory after them.
bool writeBigTiff(const std::string& path, uint32_t width, uint32_t height)
{
    constexpr uint16_t kShort = 3, kLong = 4, kRational = 5, kAscii = 2;
    constexpr uint32_t kRowsPerStrip = 16;
    const uint32_t rowBytes = width * 3;
    const uint32_t strips = (height + kRowsPerStrip - 1) / kRowsPerStrip;
    const uint64_t pixelBytes = uint64_t(rowBytes) * height;
    if (pixelBytes + 8 + 4096 + strips * 8ull > UINT32_MAX)
        return false;

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    file.write("II*\0", 4);
    LittleEndian header;
    const auto ifdOffset = static_cast<uint32_t>(8 + pixelBytes);
    header.u32(ifdOffset);
    file.write(header.bytes.data(), 4);

    std::string row(rowBytes, '\0');
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3 + 0] = static_cast<char>(x * 255 / width);
            row[x * 3 + 1] = static_cast<char>(y * 255 / height);
            row[x * 3 + 2] = static_cast<char>(128);
        }
        file.write(row.data(), static_cast<std::streamsize>(row.size()));
    }

    const char make[] = "Quorix memory probe";
    constexpr uint16_t kEntries = 13;
    const uint32_t extra = ifdOffset + 2 + kEntries * 12 + 4;
    const uint32_t bitsAt = extra, xResAt = bitsAt + 6 + 2, yResAt = xResAt + 8, makeAt = yResAt + 8;
    const uint32_t offsetsAt = makeAt + ((sizeof make + 3) & ~3u), countsAt = offsetsAt + strips * 4;

    LittleEndian ifd;
    ifd.u16(kEntries);
    ifd.entry(256, kLong, 1, width);
    ifd.entry(257, kLong, 1, height);
    ifd.entry(258, kShort, 3, bitsAt);
    ifd.entry(259, kShort, 1, 1); // no compression
    ifd.entry(262, kShort, 1, 2); // RGB
    ifd.entry(271, kAscii, sizeof make, makeAt);
    ifd.entry(273, kLong, strips, offsetsAt);
    ifd.entry(277, kShort, 1, 3);
    ifd.entry(278, kLong, 1, kRowsPerStrip);
    ifd.entry(279, kLong, strips, countsAt);
    ifd.entry(282, kRational, 1, xResAt);
    ifd.entry(283, kRational, 1, yResAt);
    ifd.entry(296, kShort, 1, 2); // inches
    ifd.u32(0);
    for (uint16_t bits : { 8, 8, 8, 0 }) // three samples of 8 bits, padded to a word
        ifd.u16(bits);
    for (int resolution = 0; resolution < 2; ++resolution) {
        ifd.u32(300);
        ifd.u32(1);
    }
    ifd.bytes.append(make, sizeof make);
    ifd.bytes.resize(offsetsAt - ifdOffset, '\0');
    for (uint32_t strip = 0; strip < strips; ++strip)
        ifd.u32(8 + strip * kRowsPerStrip * rowBytes);
    for (uint32_t strip = 0; strip < strips; ++strip) {
        uint32_t rows = std::min(kRowsPerStrip, height - strip * kRowsPerStrip);
        ifd.u32(rows * rowBytes);
    }
    file.write(ifd.bytes.data(), static_cast<std::streamsize>(ifd.bytes.size()));
    return static_cast<bool>(file);
}

struct Measure {
    long peakKiB = -1;
    int sections = -1;
};

Measure measureInChild(const std::string& self, const std::string& path)
{
    std::vector<std::string> arguments { self, "--parse" };
    if (!path.empty())
        arguments.push_back(path);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return {};
    int status = 0;
    rusage usage {};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status))
        return {};
    return { usage.ru_maxrss, WEXITSTATUS(status) };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--parse") == 0)
        return argc >= 3 ? parseOnce(argv[2]) : 0;

    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto folder = std::filesystem::temp_directory_path() / ("quorix-memory-probe-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string bigTiff = (folder / "big.tiff").string();

    std::vector<std::pair<std::string, std::string>> runs {
        { "(no parse)", "" },
        { "sample JPEG", std::string(QUORIX_SOURCE_DIR) + "/samples/quorix-sample.jpg" },
    };
    std::printf("writing %s ...\n", bigTiff.c_str());
    if (writeBigTiff(bigTiff, 10000, 6667))
        runs.emplace_back("200 MB TIFF", bigTiff);
    else
        std::printf("cannot write %s\n", bigTiff.c_str());
    for (int index = 1; index < argc; ++index)
        runs.emplace_back(std::filesystem::path(argv[index]).filename().string(), argv[index]);

    std::printf("%-18s %12s %11s %9s  %s\n", "file", "size (B)", "peak RSS", "sections", "path");
    for (const auto& [name, path] : runs) {
        std::error_code error;
        auto size = path.empty() ? 0 : std::filesystem::file_size(path, error);
        Measure measure = measureInChild(self, path);
        std::printf("%-18s %12llu %7ld KiB %9d  %s\n", name.c_str(), static_cast<unsigned long long>(error ? 0 : size),
            measure.peakKiB, measure.sections, path.c_str());
    }
    std::filesystem::remove_all(folder);
    return 0;
}
