#pragma once

#include <string>

namespace viewer {

// GET /page-texts: the language the viewer speaks and the page's own words
// in it, {"language": "ja", "texts": {ENGLISH: TEXT, ...}}, from the main
// bundle's Page.strings table. The page takes `language` for its lang
// attribute, so that each script is drawn with its own glyph forms.
std::string pageTextsJson();

} // namespace viewer
