#pragma once

#include "foundation/NSString.h"

#include <string_view>

// The localized text for a key of the library's strings table "Quorix" in the
// main bundle: the table's entry, else the fallback when it is not empty, else
// the key. Made once per key and fallback and shared until the bundle's
// tables are flushed: the table's rows ask for the same labels for every photo.
Ref<NSString> QXLocalizedString(std::string_view key, std::string_view fallback = {});
