#pragma once

#include "foundation/NSString.h"

#include <string_view>

// The localized text for a key of the library's strings table "Quorix" in the
// main bundle: the table's entry, else the fallback when it is not empty, else
// the key.
Ref<NSString> QXLocalizedString(std::string_view key, std::string_view fallback = {});
