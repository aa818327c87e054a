#include "viewer/serve/ThumbnailCache.h"

#include "viewer/serve/ServerLimits.h"

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

// The file's bytes, unless it is not a regular file or is longer than a
// thumbnail may be: the cache is shared with every program of the user, so a
// FIFO there must not block a reader, a link must not lead elsewhere, and a
// huge file must not become a huge answer.
std::optional<std::string> readThumbnailFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    std::optional<std::string> bytes;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0 && size_t(status.st_size) <= limits::maxThumbnailBytes) {
        // Writers rename a whole file into place, so the size read is the file's.
        std::string read(size_t(status.st_size), '\0');
        size_t done = 0;
        while (done < read.size()) {
            const ssize_t n = ::read(fd, read.data() + done, read.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += size_t(n);
        }
        if (done == read.size())
            bytes = std::move(read);
    }
    ::close(fd);
    return bytes;
}

// Whether `png` is whole and sound: its header first, at most `maxSide`
// pixels each way, every chunk's CRC right, image data that inflates to its
// end, and the end chunk last. A truncated or damaged file in the shared
// cache is made again rather than served on every run.
bool isSoundPng(std::string_view png, uint32_t maxSide)
{
    if (!png.starts_with(pngSignature))
        return false;
    z_stream inflater {};
    if (inflateInit(&inflater) != Z_OK)
        return false;
    bool header = false;
    int inflated = Z_OK;
    bool sound = false;
    for (size_t at = pngSignature.size(); at + 12 <= png.size();) {
        const uint32_t length = readBigEndian(png, at);
        if (length > png.size() - at - 12)
            break;
        const std::string_view typeAndData = png.substr(at + 4, 4 + length);
        const std::string_view type = typeAndData.substr(0, 4);
        const std::string_view data = typeAndData.substr(4);
        if (readBigEndian(png, at + 8 + length) != crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()), uInt(typeAndData.size())))
            break;
        if (!header) {
            const uint32_t width = type == "IHDR" && length == 13 ? readBigEndian(data, 0) : 0;
            const uint32_t height = type == "IHDR" && length == 13 ? readBigEndian(data, 4) : 0;
            if (width == 0 || height == 0 || width > maxSide || height > maxSide)
                break;
            header = true;
        } else if (type == "IDAT") {
            if (inflated != Z_OK)
                break; // image data after its stream ended
            unsigned char room[16 * 1024];
            inflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
            inflater.avail_in = uInt(data.size());
            while (inflated == Z_OK && inflater.avail_in > 0) {
                inflater.next_out = room;
                inflater.avail_out = sizeof room;
                inflated = inflate(&inflater, Z_NO_FLUSH);
            }
            if (inflated != Z_OK && inflated != Z_STREAM_END)
                break;
        } else if (type == "IEND") {
            sound = inflated == Z_STREAM_END && at + 12 == png.size();
            break;
        }
        at += 12 + length;
    }
    inflateEnd(&inflater);
    return sound;
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

// A folder of the cache, opened without following a link, and only when
// it is the user's own: a folder another user owns (or a link put in place
// of one) would let them read or replace what is written there.
int openOwnFolder(int parent, const char* name, std::string& error, const std::filesystem::path& shown)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || status.st_uid != geteuid()) {
        error = shown.string() + ": " + (fd < 0 ? std::strerror(errno == ELOOP ? ENOTDIR : errno) : "not a folder of this user");
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
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

bool ThumbnailCache::matches(const std::filesystem::path& path, const Source& source, int maxSide, std::string* png) const
{
    auto bytes = readThumbnailFile(path);
    if (!bytes || !isSoundPng(*bytes, uint32_t(maxSide)))
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
    if (!matches(thumbnailPath(source, flavor), source, pixels(flavor), &png))
        return std::nullopt;
    return png;
}

bool ThumbnailCache::failed(const Source& source) const { return matches(failPath(source), source, 1, nullptr); }

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
    // The root may be missing with folders above it; below it every folder
    // is opened one by one, never through a link, and must be the user's.
    if (!makeFolders(root_, error))
        return false;
    int folder = openOwnFolder(AT_FDCWD, root_.c_str(), error, root_);
    std::filesystem::path shown = root_;
    for (const auto& part : path.parent_path().lexically_relative(root_)) {
        if (folder < 0)
            return false;
        shown /= part;
        if (mkdirat(folder, part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = shown.string() + ": " + std::strerror(errno);
            ::close(folder);
            return false;
        }
        const int inner = openOwnFolder(folder, part.c_str(), error, shown);
        ::close(folder);
        folder = inner;
    }
    if (folder < 0)
        return false;
    // Written whole under a temporary name in the same folder, then renamed:
    // a reader sees the old thumbnail or the new one, never half of one.
    const std::string name = path.filename().string();
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temporary = name + "." + std::to_string(g_random_int());
        fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = shown.string() + ": " + std::strerror(errno);
        ::close(folder);
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
    // The mode is set on the file itself: a umask must not widen or narrow it.
    const bool fine = fchmod(fd, 0600) == 0 && written == marked.size();
    if (close(fd) != 0 || !fine || renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        error = path.string() + ": " + std::strerror(written != marked.size() ? writeErrno : errno);
        unlinkat(folder, temporary.c_str(), 0);
        ::close(folder);
        return false;
    }
    ::close(folder);
    return true;
}

} // namespace viewer
