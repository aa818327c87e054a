// What naming the place costs `quorix info --json`: the built command run
// over 1,000 copies of the sample photo (taken in Rio de Janeiro, so each
// one's town is looked up), beside the same command over 1,000 copies
// without their GPS tags (no lookup, and the locations database never
// read). The difference is an upper bound on the lookup's cost: it also
// holds reading the GPS tags and making the location rows.
//
//   InfoJson/side_by_side   both runs, taking turns; counters: the fastest of
//                           each in ms, and their ratio (with / without)
//   NearestPlace/warm       one lookup once the database is read, in process

#include "places/NearestPlace.h"

#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kPhotos = 1000;

struct Album {
    fs::path folder;
    std::vector<std::string> withPosition;
    std::vector<std::string> withoutPosition;
};

// 1,000 copies of the sample, and 1,000 with its GPS tags removed.
Album makeAlbum()
{
    Album album;
    std::string pattern = (fs::temp_directory_path() / "quorix-place-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return album;
    album.folder = pattern;
    const fs::path sample = fs::path(QUORIX_SOURCE_DIR) / "samples" / "quorix-sample.jpg";
    const fs::path stripped = album.folder / "stripped.jpg";
    fs::copy_file(sample, stripped);
    auto image = Exiv2::ImageFactory::open(stripped.string());
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    for (auto entry = exif.begin(); entry != exif.end();)
        entry = entry->groupName() == "GPSInfo" ? exif.erase(entry) : std::next(entry);
    image->setExifData(exif);
    image->writeMetadata();
    for (int i = 0; i < kPhotos; ++i) {
        const std::string name = std::to_string(i) + ".jpg";
        fs::create_directories(album.folder / "with");
        fs::create_directories(album.folder / "without");
        fs::copy_file(sample, album.folder / "with" / name);
        fs::copy_file(stripped, album.folder / "without" / name);
        album.withPosition.push_back((album.folder / "with" / name).string());
        album.withoutPosition.push_back((album.folder / "without" / name).string());
    }
    return album;
}

Album& album()
{
    static Album made = makeAlbum();
    return made;
}

// Runs `quorix info --json PATHS...` with its output thrown away; its exit status.
int runInfo(const std::vector<std::string>& paths)
{
    const std::string quorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";
    std::vector<std::string> arguments { quorix, "info", "--json" };
    arguments.insert(arguments.end(), paths.begin(), paths.end());
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int status = -1;
    if (posix_spawn(&child, quorix.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        ::waitpid(child, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

double secondsToRun(const std::vector<std::string>& paths, bool& failed)
{
    const auto start = std::chrono::steady_clock::now();
    failed = failed || runInfo(paths) != 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The two runs take turns, so a machine busy with other work slows both
// alike; the fastest run of each is kept, the one least disturbed.
void infoJsonSideBySide(benchmark::State& state)
{
    if (album().withPosition.size() != kPhotos) {
        state.SkipWithError("cannot make the photos");
        return;
    }
    double with = 1e9, without = 1e9;
    bool failed = false;
    for (auto _ : state) {
        with = std::min(with, secondsToRun(album().withPosition, failed));
        without = std::min(without, secondsToRun(album().withoutPosition, failed));
    }
    if (failed) {
        state.SkipWithError("quorix info failed");
        return;
    }
    state.counters["with_position_ms"] = with * 1e3;
    state.counters["without_position_ms"] = without * 1e3;
    state.counters["ratio"] = with / without;
}

void nearestPlaceWarm(benchmark::State& state)
{
    benchmark::DoNotOptimize(places::nearestPlace(0, 0)); // reads the database
    for (auto _ : state)
        benchmark::DoNotOptimize(places::nearestPlace(-22.948658, -43.157444));
}

} // namespace

int main(int argc, char** argv)
{
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    benchmark::RegisterBenchmark("InfoJson/side_by_side", infoJsonSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
    benchmark::RegisterBenchmark("NearestPlace/warm", nearestPlaceWarm)->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (!album().folder.empty())
        fs::remove_all(album().folder);
    benchmark::Shutdown();
    return 0;
}
