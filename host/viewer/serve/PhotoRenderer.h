#pragma once

#include <optional>

#include <utility>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace viewer {

// A photo's pixels for the page: decoded with libvips (every format its
// loaders take: JPEG, PNG, TIFF, HEIC, ...), turned upright by its EXIF
// orientation and scaled down to fit a box, then encoded as JPEG. Only the
// photos it was made with can be asked for, by index: no path from a
// request ever reaches the file system.
//
// Decoding is the expensive part, so it is bounded: one decode per photo and
// size at a time (every other request for it waits for that one's result), at
// most one decoding thread per core, and a cache of results bounded in bytes
// that forgets the least recently used first. The size is part of the
// request, so a page of small thumbnails and the full-screen photo share it.
//
// Renders asked for together (one request's) form a group. The newest
// group's decodes run first: the page asks for the rows it shows now, so a
// row asked for earlier (likely scrolled away) waits. A group whose client
// has gone is withdrawn: its decodes that no other group waits for leave
// the queue undone.
class PhotoRenderer {
public:
    struct Box {
        int width = 0;
        int height = 0;
        auto operator<=>(const Box&) const = default;
    };
    struct Limits {
        size_t cacheBytes;
        unsigned decoders; // threads decoding at once
        // Threads of their own for the background renders (see background()),
        // at the lowest priority, so that those never take a core from what
        // the page waits for. Without, the decoders take them after every group.
        unsigned backgroundDecoders = 0;
        // The decoding threads' niceness: above the server's and the UI's 0
        // by default, so a fast scroll's decodes leave the cores to them.
        int niceness = 5;
    };
    // The rendered cache holds a few screens of photos at tablet size.
    static constexpr size_t defaultCacheBytes = 24 * 1024 * 1024;
    // A photo with more pixels than this is refused before it is decoded: a
    // small file can declare a huge image (a decompression bomb).
    static constexpr double maxDecodePixels = 120e6;
    // The width and height a file's header declares, read without decoding
    // a pixel; none when libvips cannot read the header.
    static std::optional<std::pair<int, int>> declaredSize(const std::string& path);

    struct Image {
        std::string bytes; // encoded as contentType says
        int width = 0;
        int height = 0;
        std::string contentType = "image/jpeg";
        bool fromPreview = false; // cut from the photo's embedded preview, not its pixels
    };
    // The rendered photo (shared with the cache, never changed), or the
    // reason it could not be rendered.
    struct Result {
        std::shared_ptr<const Image> image;
        std::string error;
    };
    using Done = std::function<void(const Result&)>;
    // Renders asked for together; a later group is decoded before an
    // earlier one. Group 0 is the oldest of all.
    using Group = unsigned long long;
    // Makes the image of the photo at `path` fitted into the box; checks
    // `stopping` where it can. Runs on a decoding thread.
    using Decoder = std::function<Result(const std::string& path, Box box, const std::atomic<bool>& stopping)>;
    // The photo upright, fitted into the box, as JPEG.
    static Decoder jpegDecoder();

    // `paths` are the viewer's photos; `decoder` makes each image (the
    // thumbnails use their own, which keeps the desktop's thumbnail cache).
    PhotoRenderer(std::vector<std::string> paths, Limits limits, Decoder decoder = jpegDecoder());
    // Stops (see stop) and waits for the decodes under way, unless stopped before.
    ~PhotoRenderer();
    PhotoRenderer(const PhotoRenderer&) = delete;
    PhotoRenderer& operator=(const PhotoRenderer&) = delete;

    // One decoding thread per core.
    static Limits defaultLimits();
    // Starts libvips once per process; false (with the reason) if it cannot.
    static bool start(const char* programName, std::string& reason);
    // Frees what libvips holds for the process; no rendering after it.
    static void finish();

    // A group newer than every one before it.
    Group newGroup();
    // Photo `index` fitted into `box`: `done` is called once, at once from
    // the cache or later on a decoding thread (unless its group is withdrawn first).
    void render(size_t index, Box box, Done done, Group group = 0);
    // Renders no one waits for (their decoder's own work is what is wanted:
    // a thumbnail kept in the shared cache), behind every group, never
    // withdrawn. The function stays safe to call once the renderer is gone
    // (from a callback running late): it then does nothing.
    using Background = std::function<void(size_t index, Box box)>;
    Background background() const;
    // The group's renders still waiting are forgotten: their `done` is
    // never called, and a decode no other group waits for is not begun.
    // A decode under way finishes (and is cached) all the same.
    void withdraw(Group group);
    // The same, waiting for the result.
    Result renderAndWait(size_t index, Box box);

    // Answers the requests still waiting with "stopping", interrupts the
    // decodes under way where libvips can, and waits up to `grace` for
    // them. False when one is still running (a HEIC is decoded by one call
    // that cannot be interrupted): it goes on on its own, holding what it
    // needs, and the process should end without waiting for it.
    bool stop(std::chrono::milliseconds grace);

    size_t count() const;
    // How many decodes have run: a photo asked for many times is decoded once.
    size_t decodeCount() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace viewer
