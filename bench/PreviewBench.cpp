// The bound of how fast the album's first screen can fill from embedded
// previews: reading and decoding just those photos' previews, cut to the
// cell's square as the viewer cuts them, in one process with nothing else
// on the way (no server, no page). Each file is read and decoded once per
// pass, on one thread and then on every core.
// Usage: quorix_preview_bench POINTS FILE...

#include "viewer/serve/PreviewMaker.h"

#include <vips/vips.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Milliseconds to make every file's square on `threads` threads, and how many were made.
std::pair<double, int> pass(const std::vector<std::string>& files, int points, unsigned threads)
{
    std::atomic<size_t> next { 0 };
    std::atomic<int> made { 0 };
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> running;
    for (unsigned i = 0; i < threads; ++i)
        running.emplace_back([&] {
            for (size_t at; (at = next++) < files.size();)
                made += viewer::previewSquare(files[at], points).has_value();
        });
    for (auto& thread : running)
        thread.join();
    return { std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count(), made.load() };
}

} // namespace

int main(int argc, char** argv)
{
    const int points = argc > 2 ? std::atoi(argv[1]) : 0;
    if (points <= 0) {
        std::fprintf(stderr, "usage: quorix_preview_bench POINTS FILE...\n");
        return 2;
    }
    if (VIPS_INIT(argv[0]) != 0)
        return 1;
    vips_cache_set_max(0);
    const std::vector<std::string> files(argv + 2, argv + argc);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned threads : { 1u, cores }) {
        const auto [milliseconds, made] = pass(files, points, threads);
        std::printf("%d of %zu previews on %u thread%s: %.1f ms (%.2f ms each)\n", made, files.size(), threads, threads == 1 ? "" : "s",
            milliseconds, milliseconds / double(files.size()));
    }
    vips_shutdown();
    return 0;
}
