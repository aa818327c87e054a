#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace viewer {

// The page's own files (its HTML, scripts and styles, Leaflet and the
// basemap), read once when the server opens. They cannot change while it
// runs, so each carries an entity tag made from its content: a browser keeps
// them and, on the next load, asks with If-None-Match, which is answered 304
// without a body while the file is the same. A rebuilt page has new tags, so
// nothing stale is ever shown.
struct PageFile {
    std::string type;
    std::shared_ptr<const std::string> body;
    std::string etag; // quoted, as the header carries it
};

class PageFiles {
public:
    // Every file of the page from `folder`; the path that cannot be read, when one cannot.
    static std::variant<PageFiles, std::string> read(const std::string& folder);

    // The file served at /`name`, or null.
    const PageFile* find(const std::string& name) const;

private:
    std::map<std::string, PageFile, std::less<>> files_;
};

// Whether an If-None-Match value (a list of entity tags, or *) names `etag`.
// The comparison is the weak one the header calls for: W/ is ignored.
bool etagMatches(std::string_view ifNoneMatch, std::string_view etag);

} // namespace viewer
