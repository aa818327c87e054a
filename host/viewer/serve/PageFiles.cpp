#include "viewer/serve/PageFiles.h"

#include <glib.h>

#include <fstream>
#include <optional>
#include <sstream>

namespace viewer {

namespace {

struct WebFile {
    const char* name;
    const char* type;
};
constexpr WebFile webFiles[] = {
    { "index.html", "text/html; charset=utf-8" },
    { "viewer.css", "text/css; charset=utf-8" },
    { "viewer.js", "text/javascript; charset=utf-8" },
    // The map: Leaflet, the page's drawing over it and the basemap.
    { "map.js", "text/javascript; charset=utf-8" },
    { "place-labels.js", "text/javascript; charset=utf-8" },
    { "album.js", "text/javascript; charset=utf-8" },
    { "places.js", "text/javascript; charset=utf-8" },
    { "places.css", "text/css; charset=utf-8" },
    { "access.js", "text/javascript; charset=utf-8" },
    { "map.css", "text/css; charset=utf-8" },
    { "leaflet.js", "text/javascript; charset=utf-8" },
    { "leaflet.css", "text/css; charset=utf-8" },
    // Compressed at build time and inflated by the page: a type the server
    // does not compress again on every request.
    { "basemap.json.gz", "application/gzip" },
    { "place-names.json.gz", "application/gzip" },
};

std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// 128 bits of the content's SHA-256: the same bytes give the same tag in
// every run, so a browser's copy stays good across restarts of the viewer.
std::string etagOf(const std::string& content)
{
    gchar* digest = g_compute_checksum_for_data(G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(content.data()), content.size());
    std::string tag = "\"" + std::string(digest, 32) + "\"";
    g_free(digest);
    return tag;
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::variant<PageFiles, std::string> PageFiles::read(const std::string& folder)
{
    PageFiles page;
    for (const auto& file : webFiles) {
        const std::string path = folder + "/" + file.name;
        auto content = readFile(path);
        if (!content)
            return path + ": cannot be read";
        std::string etag = etagOf(*content);
        page.files_[file.name] = { file.type, std::make_shared<const std::string>(std::move(*content)), std::move(etag) };
    }
    return page;
}

const PageFile* PageFiles::find(const std::string& name) const
{
    const auto file = files_.find(name);
    return file == files_.end() ? nullptr : &file->second;
}

bool etagMatches(std::string_view ifNoneMatch, std::string_view etag)
{
    while (!ifNoneMatch.empty()) {
        const auto comma = ifNoneMatch.find(',');
        std::string_view tag = trimmed(ifNoneMatch.substr(0, comma));
        ifNoneMatch = comma == std::string_view::npos ? std::string_view() : ifNoneMatch.substr(comma + 1);
        if (tag.starts_with("W/"))
            tag.remove_prefix(2);
        if (tag == "*" || tag == etag)
            return true;
    }
    return false;
}

} // namespace viewer
