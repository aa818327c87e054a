// What naming the place costs `quorix info --json`: the built command run
// over 1,000 copies of the sample photo (taken in Rio de Janeiro, so each
// one's town is looked up), beside the same command over 1,000 copies
// without their GPS tags (no lookup, and the locations database never
// read). The difference is an upper bound on the lookup's cost: it also
// holds reading the GPS tags and making the location rows. After the run the
// two are printed again as a ratio.
//
//   InfoJson/with_position      quorix info --json over 1,000 photos with a position
//   InfoJson/without_position   the same photos without one
//   NearestPlace/warm           one lookup once the database is read, in process

#include "NearestPlace.h"

#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
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

void infoJson(benchmark::State& state, bool withPosition)
{
    const auto& paths = withPosition ? album().withPosition : album().withoutPosition;
    if (paths.size() != kPhotos) {
        state.SkipWithError("cannot make the photos");
        return;
    }
    for (auto _ : state) {
        if (runInfo(paths) != 0) {
            state.SkipWithError("quorix info failed");
            break;
        }
    }
}

void nearestPlaceWarm(benchmark::State& state)
{
    benchmark::DoNotOptimize(places::nearestPlace(0, 0)); // reads the database
    for (auto _ : state)
        benchmark::DoNotOptimize(places::nearestPlace(-22.948658, -43.157444));
}

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

} // namespace

int main(int argc, char** argv)
{
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    benchmark::RegisterBenchmark("InfoJson/with_position", infoJson, true)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
    benchmark::RegisterBenchmark("InfoJson/without_position", infoJson, false)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
    benchmark::RegisterBenchmark("NearestPlace/warm", nearestPlaceWarm)->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto with = reporter.seconds.find("InfoJson/with_position/iterations:5/real_time");
    const auto without = reporter.seconds.find("InfoJson/without_position/iterations:5/real_time");
    if (with != reporter.seconds.end() && without != reporter.seconds.end())
        std::printf("\nquorix info --json over %d photos, with a position (and its place) / without: %.3f\n", kPhotos,
            with->second / without->second);
    if (!album().folder.empty())
        fs::remove_all(album().folder);
    benchmark::Shutdown();
    return 0;
}
