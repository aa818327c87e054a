#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace viewer {

// A photo's pixels for the page: decoded with libvips (every format its
// loaders take: JPEG, PNG, TIFF, HEIC, ...), turned upright by its EXIF
// orientation and scaled down to fit a box, then encoded as JPEG. Only the
// photos it was made with can be asked for, by index: no path from a
// request ever reaches the file system. Safe to call from several threads.
class PhotoRenderer {
public:
    // `paths` are the viewer's photos; `maxWidth` x `maxHeight` the box in pixels.
    PhotoRenderer(std::vector<std::string> paths, int maxWidth, int maxHeight);

    // Starts libvips once per process; false (with the reason) if it cannot.
    static bool start(const char* programName, std::string& reason);
    // Frees what libvips holds for the process; no rendering after it.
    static void finish();

    struct Image {
        std::string jpeg;
        int width = 0;
        int height = 0;
    };
    // The rendered photo, or the reason it could not be rendered. Results
    // are kept: a photo is decoded once however often the page asks.
    struct Result {
        std::optional<Image> image;
        std::string error;
    };
    Result render(size_t index);

    size_t count() const { return paths_.size(); }
    const std::string& path(size_t index) const { return paths_.at(index); }

private:
    Result decode(const std::string& path) const;

    std::vector<std::string> paths_;
    int maxWidth_;
    int maxHeight_;
    std::mutex lock_;
    std::map<size_t, Image> cache_;
};

} // namespace viewer
