// The parser's cost per photo, against a floor: opening the file, reading its
// first 64 KiB and closing it, which any reader of the file's metadata pays.
// After the run each result is printed again as a multiple of the floor of
// the same file.
//
//   FullParse/KIND     parseAsset then resetParser, one autorelease pool each
//   FirstParse/KIND    the same for a photo read for the first time: two
//                      copies of the file in turn, so the image source the
//                      platform keeps for the last file read never serves
//   DateForAsset/KIND  dateForAsset alone (what the date stamp asks per tile)
//   Floor/KIND         open, read 64 KiB, close
//   Stat/KIND          one stat of the file: the cached parse asks for it
//                      twice (the image source's check and the attributes),
//                      so what a system call costs on the machine shows here
//   LeanRead/KIND      the lean reader: the table's entries from the file
//   FullRead/KIND      the full reader (exiv2) with the same result
//   FrameWalk/JPEG     the walk of a JPEG's segments to its frame header, on
//                      a file already open: what the lean reader's second
//                      walk (the picture size) adds to LeanRead/JPEG
//   Exiv2/KIND         exiv2's own open + readMetadata, for reference: what
//                      the full reader costs before any row is made
//
// The files are camera pictures of the shared corpus; a missing one is
// skipped with a message.

#include "photolibrary/PLManagedAsset.h"
#include "imageio/FileWindow.h"
#include "imageio/FullReader.h"
#include "imageio/LeanReader.h"
#include "imageio/PictureSize.h"
#include "parser/QXParser.h"
#include "runtime/AutoreleasePool.h"

#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Photo {
    const char* kind;
    const char* relativePath;
};

constexpr std::array kPhotos {
    Photo { "JPEG", "jpg/Canon_40D.jpg" },
    Photo { "TIFF", "tiff/Arbitro.tiff" },
    Photo { "HEIC", "heic/IMG_5195.HEIC" },
};

std::string corpusPath(const Photo& photo)
{
    return std::string(QUORIX_CORPUS_DIR) + "/" + photo.relativePath;
}

bool skipWhenMissing(benchmark::State& state, const std::string& path)
{
    if (std::filesystem::exists(path))
        return false;
    state.SkipWithError(("not in the corpus: " + path).c_str());
    return true;
}

void fullParse(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    // The host's asset exists before the viewer asks; only the parse is timed.
    auto asset = PLManagedAsset::assetWithPath(path);
    auto* parser = QXParser::sharedQXParser();
    size_t sections = 0;
    for (auto _ : state) {
        AutoreleasePool pool;
        auto result = parser->parseAsset(asset);
        sections = result->count();
        parser->resetParser();
        benchmark::DoNotOptimize(result.get());
    }
    state.counters["sections"] = static_cast<double>(sections);
}

// A temporary folder holding two copies of a file, removed with it.
class TwoCopies {
public:
    explicit TwoCopies(const std::string& path)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return;
        folder_ = pattern;
        const std::string name = std::filesystem::path(path).filename().string();
        for (const char* copy : { "a-", "b-" }) {
            auto target = folder_ / (copy + name);
            std::error_code error;
            if (!std::filesystem::copy_file(path, target, error))
                return;
            paths_.push_back(target.string());
        }
    }
    ~TwoCopies()
    {
        std::error_code error;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, error);
    }
    TwoCopies(const TwoCopies&) = delete;
    TwoCopies& operator=(const TwoCopies&) = delete;

    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::filesystem::path folder_;
    std::vector<std::string> paths_;
};

void firstParse(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    TwoCopies copies(path);
    if (copies.paths().size() != 2) {
        state.SkipWithError("cannot copy the photo to a temporary folder");
        return;
    }
    std::array assets { PLManagedAsset::assetWithPath(copies.paths()[0]), PLManagedAsset::assetWithPath(copies.paths()[1]) };
    auto* parser = QXParser::sharedQXParser();
    size_t turn = 0;
    for (auto _ : state) {
        AutoreleasePool pool;
        auto result = parser->parseAsset(assets[turn++ % assets.size()]);
        parser->resetParser();
        benchmark::DoNotOptimize(result.get());
    }
}

void dateForAsset(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    auto asset = PLManagedAsset::assetWithPath(path);
    auto* parser = QXParser::sharedQXParser();
    for (auto _ : state) {
        AutoreleasePool pool;
        auto date = parser->dateForAsset(asset);
        benchmark::DoNotOptimize(date.get());
    }
}

template<std::optional<imageio::ImageContents> (*read)(const std::string&)>
void imageRead(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    for (auto _ : state) {
        auto contents = read(path);
        if (!contents) {
            state.SkipWithError("the reader leaves this file to the other");
            break;
        }
        benchmark::DoNotOptimize(contents->metadata.exif.has_value());
    }
}

void frameWalk(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    auto file = imageio::FileWindow::open(path);
    if (!file || !imageio::jpegPictureSize(*file)) {
        state.SkipWithError("no frame header found");
        return;
    }
    for (auto _ : state) {
        auto size = imageio::jpegPictureSize(*file);
        benchmark::DoNotOptimize(size);
    }
}

void floorRead(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open");
            break;
        }
        size_t total = 0;
        while (total < buffer.size()) {
            ssize_t got = ::read(fd, buffer.data() + total, buffer.size() - total);
            if (got <= 0)
                break;
            total += static_cast<size_t>(got);
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
}

void statOnce(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    struct stat status { };
    for (auto _ : state) {
        if (::stat(path.c_str(), &status) != 0) {
            state.SkipWithError("cannot stat");
            break;
        }
        benchmark::DoNotOptimize(status.st_size);
    }
}

void exiv2Read(benchmark::State& state, const std::string& path)
{
    if (skipWhenMissing(state, path))
        return;
    Exiv2::enableBMFF(true);
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    for (auto _ : state) {
        try {
            auto image = Exiv2::ImageFactory::open(path, false);
            image->readMetadata();
            benchmark::DoNotOptimize(image->exifData().count());
        } catch (const std::exception&) {
            state.SkipWithError("exiv2 cannot read it");
            break;
        }
    }
}

// Prints as usual and keeps each plain run's time per iteration, in seconds.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0)
                seconds[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
    }

    std::map<std::string, double> seconds;
};

void printMultiples(const std::map<std::string, double>& seconds)
{
    std::printf("\nTime per call as a multiple of the floor (open + read 64 KiB + close of the same file):\n");
    std::printf("%-20s %14s %14s %10s\n", "benchmark", "time (us)", "floor (us)", "x floor");
    for (const auto& photo : kPhotos) {
        auto floor = seconds.find(std::string("Floor/") + photo.kind);
        if (floor == seconds.end()) {
            std::printf("%-20s %14s\n", photo.kind, "skipped");
            continue;
        }
        for (const char* name : { "FullParse/", "FirstParse/", "DateForAsset/", "LeanRead/", "FrameWalk/", "FullRead/", "Exiv2/", "Stat/" }) {
            auto found = seconds.find(name + std::string(photo.kind));
            if (found == seconds.end())
                continue;
            std::printf("%-20s %14.1f %14.1f %10.1f\n", found->first.c_str(), found->second * 1e6, floor->second * 1e6,
                found->second / floor->second);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (const auto& photo : kPhotos) {
        std::string path = corpusPath(photo);
        std::string kind = photo.kind;
        benchmark::RegisterBenchmark(("FullParse/" + kind).c_str(), fullParse, path)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("FirstParse/" + kind).c_str(), firstParse, path)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("DateForAsset/" + kind).c_str(), dateForAsset, path)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("LeanRead/" + kind).c_str(), imageRead<imageio::readLean>, path)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("FullRead/" + kind).c_str(), imageRead<imageio::readFull>, path)->Unit(benchmark::kMicrosecond);
        if (kind == "JPEG")
            benchmark::RegisterBenchmark(("FrameWalk/" + kind).c_str(), frameWalk, path)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Floor/" + kind).c_str(), floorRead, path)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Exiv2/" + kind).c_str(), exiv2Read, path)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Stat/" + kind).c_str(), statOnce, path)->Unit(benchmark::kMicrosecond);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printMultiples(reporter.seconds);
    benchmark::Shutdown();
    return 0;
}
