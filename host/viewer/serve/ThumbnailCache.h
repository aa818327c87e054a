#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

// The desktop's shared thumbnail cache, kept as the freedesktop Thumbnail
// Managing Standard says, so the file managers and image viewers of the
// desktop and this viewer make each thumbnail once between them:
//   ROOT/normal/MD5.png (128 pixels) and ROOT/large/MD5.png (256 pixels),
//   where ROOT is $XDG_CACHE_HOME/thumbnails and MD5 the hex MD5 of the
//   file's URI; each PNG carries the tEXt chunks Thumb::URI and Thumb::MTime
//   and is used only while they still match the file;
//   ROOT/fail/APP-VERSION/MD5.png marks a file this program could not
//   decode, so it is not tried again until the file changes.
// Files are written to a temporary name in the same folder and renamed, mode
// 600; folders are made mode 700. Other programs of the user share the cache,
// so nothing is written through a link or into a folder another user owns.
class ThumbnailCache {
public:
    enum class Flavor {
        Normal,
        Large,
    };
    static constexpr int normalPixels = 128;
    static constexpr int largePixels = 256;
    static int pixels(Flavor flavor) { return flavor == Flavor::Normal ? normalPixels : largePixels; }
    // The smallest flavor at least `edge` pixels wide (large beyond it).
    static Flavor flavorFor(int edge) { return edge <= normalPixels ? Flavor::Normal : Flavor::Large; }

    // $XDG_CACHE_HOME/thumbnails; ~/.cache/thumbnails when it is unset,
    // empty or not absolute, as the XDG base directory rules have it.
    static std::filesystem::path defaultRoot();
    // The file:// URI of an absolute path, escaped as RFC 2396 asks (as GLib does).
    static std::string uriOf(const std::string& absolutePath);
    // The hex MD5 of a URI: the cache's file name without ".png".
    static std::string keyOf(std::string_view uri);

    // What the cache knows a file by: its URI and its mtime in seconds.
    struct Source {
        std::string uri;
        std::string mtime;
    };
    // The file's URI and mtime, or nothing (with the reason) when it cannot be read.
    static std::optional<Source> sourceOf(const std::string& path, std::string& error);

    // `program` names the fail folder: "quorix-viewer-2.0.1".
    ThumbnailCache(std::filesystem::path root, std::string program);

    std::filesystem::path thumbnailPath(const Source& source, Flavor flavor) const;
    std::filesystem::path failPath(const Source& source) const;

    // The stored thumbnail's PNG while its Thumb::URI and Thumb::MTime match
    // the file as it is now; nothing when missing, unreadable, stale, not a
    // regular file (a FIFO, a link) or not a whole, sound PNG of its flavor's size.
    std::optional<std::string> find(const Source& source, Flavor flavor) const;
    // Whether this program failed on the file as it is now.
    bool failed(const Source& source) const;
    // Stores `png` (any PNG) with the two chunks added. False, with the reason, on failure.
    bool store(const Source& source, Flavor flavor, std::string_view png, std::string& error) const;
    // Marks the file as one this program cannot decode.
    bool storeFailure(const Source& source, std::string& error) const;

private:
    bool write(const std::filesystem::path& path, const Source& source, std::string_view png, std::string& error) const;
    // Whether the file at `path` is a sound PNG of at most `maxSide` pixels
    // each way whose chunks name the file as it is now.
    bool matches(const std::filesystem::path& path, const Source& source, int maxSide, std::string* png) const;

    std::filesystem::path root_;
    std::string program_;
};

// PNG text chunks: `png` with a tEXt chunk per entry put after its header,
// and the tEXt chunks a PNG carries before its image data.
std::string withTextChunks(std::string_view png, const std::vector<std::pair<std::string, std::string>>& texts);
std::map<std::string, std::string> textChunksOf(std::string_view png);

} // namespace viewer
