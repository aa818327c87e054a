#pragma once

#include <string>
#include <string_view>

namespace uikit {

// The toolkit's own words (system bar items, the edit menu, the way back) in
// the person's language: its own strings table, UIKit.strings in the main
// bundle's NAME.lproj folders, looked up by the English word, which stands
// when no table has it.
std::string platformText(std::string_view english);

} // namespace uikit
