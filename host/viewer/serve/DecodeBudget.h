#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

namespace viewer {

// Memory for decoding photos, one budget for the whole process (the photo
// and the thumbnail renderers, every decoding thread). A pixel count says
// little: a 16-bit RGBA pixel takes eight bytes, and an interlaced PNG or a
// progressive JPEG is held whole by its decoder while a plain one streams
// through a few rows. So each decode first reads the file's header, works
// out what it will take, and waits until that much of the budget is free;
// a file that would take more than the whole budget is refused.
class DecodeBudget {
public:
    // What decoding the file at `path` takes at most, from its header
    // alone; none when libvips cannot read the header.
    struct Need {
        size_t bytes = 0;
        int width = 0;
        int height = 0;
    };
    static std::optional<Need> needOf(const std::string& path);

    // Holds its share of the budget until it is destroyed.
    class Share {
    public:
        explicit Share(size_t bytes);
        ~Share();
        Share(Share&& other) noexcept;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        Share& operator=(Share&&) = delete;

    private:
        size_t bytes_;
    };
    // Waits until the decode of `path` fits in the budget and holds its
    // share; or why it cannot be decoded (unreadable, or too big for the
    // whole budget).
    static std::variant<Share, std::string> reserve(const std::string& path);
    // The same for a decode whose need is known already.
    static std::variant<Share, std::string> reserve(const Need& need);

    // Bytes held by decodes under way now.
    static size_t inUse();
};

} // namespace viewer
