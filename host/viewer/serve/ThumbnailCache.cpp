#include "ThumbnailCache.h"

#include "ServerLimits.h"

#include <glib.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace viewer {

namespace {

constexpr std::string_view pngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr std::string_view uriKey = "Thumb::URI";
constexpr std::string_view mtimeKey = "Thumb::MTime";

uint32_t readBigEndian(std::string_view bytes, size_t at)
{
    auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[at + i])); };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

void appendBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xff));
}

void appendChunk(std::string& out, std::string_view type, std::string_view data)
{
    appendBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.append(type).append(data);
    appendBigEndian(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(out.data() + start),
                                                     static_cast<uInt>(out.size() - start))));
}

// A 1 x 1 grey PNG: the body of a fail entry, which only its chunks matter for.
std::string onePixelPng()
{
    std::string png(pngSignature);
    std::string header;
    appendBigEndian(header, 1); // width
    appendBigEndian(header, 1); // height
    header += std::string("\x08\x00\x00\x00\x00", 5); // 8-bit grey, no interlace
    appendChunk(png, "IHDR", header);
    const Bytef row[2] = { 0, 0x80 }; // filter byte, one pixel
    Bytef packed[64];
    uLongf packedSize = sizeof packed;
    compress(packed, &packedSize, row, sizeof row);
    appendChunk(png, "IDAT", std::string_view(reinterpret_cast<const char*>(packed), packedSize));
    appendChunk(png, "IEND", {});
    return png;
}

// The file's bytes, unless it is longer than a thumbnail may be: the cache
// is shared with other programs, and a huge file there must not become a
// huge answer.
std::optional<std::string> readThumbnailFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size_t(size) > limits::maxThumbnailBytes)
        return std::nullopt;
    in.seekg(0);
    // Writers rename a whole file into place, so the size read is the file's.
    std::string bytes(size_t(size), '\0');
    if (!in.read(bytes.data(), size))
        return std::nullopt;
    return bytes;
}

// Makes `folder` and every missing folder above it mode 700.
bool makeFolders(const std::filesystem::path& folder, std::string& error)
{
    std::error_code code;
    if (std::filesystem::is_directory(folder, code))
        return true;
    if (folder.has_parent_path() && folder.parent_path() != folder && !makeFolders(folder.parent_path(), error))
        return false;
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

std::string withTextChunks(std::string_view png, const std::vector<std::pair<std::string, std::string>>& texts)
{
    // The header chunk is first: signature (8), length (4), "IHDR" (4), 13 bytes, CRC (4).
    constexpr size_t afterHeader = 8 + 4 + 4 + 13 + 4;
    if (png.size() < afterHeader || !png.starts_with(pngSignature) || png.substr(12, 4) != "IHDR")
        return {};
    std::string out(png.substr(0, afterHeader));
    for (const auto& [key, value] : texts)
        appendChunk(out, "tEXt", key + '\0' + value);
    out.append(png.substr(afterHeader));
    return out;
}

std::map<std::string, std::string> textChunksOf(std::string_view png)
{
    std::map<std::string, std::string> texts;
    if (!png.starts_with(pngSignature))
        return texts;
    for (size_t at = pngSignature.size(); at + 12 <= png.size();) {
        const uint32_t length = readBigEndian(png, at);
        const std::string_view type = png.substr(at + 4, 4);
        if (length > png.size() - at - 12 || type == "IDAT" || type == "IEND")
            break;
        if (type == "tEXt") {
            const std::string_view data = png.substr(at + 8, length);
            if (const size_t zero = data.find('\0'); zero != std::string_view::npos)
                texts.emplace(data.substr(0, zero), data.substr(zero + 1));
        }
        at += 12 + length;
    }
    return texts;
}

std::filesystem::path ThumbnailCache::defaultRoot()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/')
        return std::filesystem::path(cache) / "thumbnails";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : g_get_home_dir()) / ".cache" / "thumbnails";
}

std::string ThumbnailCache::uriOf(const std::string& absolutePath)
{
    gchar* uri = g_filename_to_uri(absolutePath.c_str(), nullptr, nullptr);
    if (!uri)
        return {};
    std::string result(uri);
    g_free(uri);
    return result;
}

std::string ThumbnailCache::keyOf(std::string_view uri)
{
    gchar* md5 = g_compute_checksum_for_data(G_CHECKSUM_MD5, reinterpret_cast<const guchar*>(uri.data()), uri.size());
    std::string result(md5);
    g_free(md5);
    return result;
}

std::optional<ThumbnailCache::Source> ThumbnailCache::sourceOf(const std::string& path, std::string& error)
{
    std::error_code code;
    const auto absolute = std::filesystem::absolute(path, code).lexically_normal();
    struct stat status {};
    if (code || stat(absolute.c_str(), &status) != 0) {
        error = path + ": " + (code ? code.message() : std::strerror(errno));
        return std::nullopt;
    }
    Source source { uriOf(absolute.string()), std::to_string(static_cast<long long>(status.st_mtime)) };
    if (source.uri.empty()) {
        error = path + ": has no file URI";
        return std::nullopt;
    }
    return source;
}

ThumbnailCache::ThumbnailCache(std::filesystem::path root, std::string program)
    : root_(std::move(root))
    , program_(std::move(program))
{
}

std::filesystem::path ThumbnailCache::thumbnailPath(const Source& source, Flavor flavor) const
{
    return root_ / (flavor == Flavor::Normal ? "normal" : "large") / (keyOf(source.uri) + ".png");
}

std::filesystem::path ThumbnailCache::failPath(const Source& source) const
{
    return root_ / "fail" / program_ / (keyOf(source.uri) + ".png");
}

bool ThumbnailCache::matches(const std::filesystem::path& path, const Source& source, std::string* png) const
{
    auto bytes = readThumbnailFile(path);
    if (!bytes)
        return false;
    const auto texts = textChunksOf(*bytes);
    const auto uri = texts.find(std::string(uriKey));
    const auto mtime = texts.find(std::string(mtimeKey));
    if (uri == texts.end() || mtime == texts.end() || uri->second != source.uri || mtime->second != source.mtime)
        return false;
    if (png)
        *png = std::move(*bytes);
    return true;
}

std::optional<std::string> ThumbnailCache::find(const Source& source, Flavor flavor) const
{
    std::string png;
    if (!matches(thumbnailPath(source, flavor), source, &png))
        return std::nullopt;
    return png;
}

bool ThumbnailCache::failed(const Source& source) const { return matches(failPath(source), source, nullptr); }

bool ThumbnailCache::store(const Source& source, Flavor flavor, std::string_view png, std::string& error) const
{
    return write(thumbnailPath(source, flavor), source, png, error);
}

bool ThumbnailCache::storeFailure(const Source& source, std::string& error) const
{
    return write(failPath(source), source, onePixelPng(), error);
}

bool ThumbnailCache::write(const std::filesystem::path& path, const Source& source, std::string_view png, std::string& error) const
{
    const std::string marked = withTextChunks(png, { { std::string(uriKey), source.uri }, { std::string(mtimeKey), source.mtime } });
    if (marked.empty()) {
        error = path.string() + ": not a PNG to store";
        return false;
    }
    if (!makeFolders(path.parent_path(), error))
        return false;
    // Written whole under a temporary name in the same folder, then renamed:
    // a reader sees the old thumbnail or the new one, never half of one.
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = mkstemp(temporary.data()); // mode 600
    if (fd < 0) {
        error = path.parent_path().string() + ": " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < marked.size()) {
        const ssize_t n = ::write(fd, marked.data() + written, marked.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += size_t(n);
    }
    const int writeErrno = errno;
    if (close(fd) != 0 || written != marked.size() || fchmodat(AT_FDCWD, temporary.c_str(), 0600, 0) != 0
        || rename(temporary.c_str(), path.c_str()) != 0) {
        error = path.string() + ": " + std::strerror(written != marked.size() ? writeErrno : errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace viewer
