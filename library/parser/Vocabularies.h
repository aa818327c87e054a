#pragma once

#include "foundation/NSString.h"
#include "util/Localization.h"

#include <optional>
#include <span>
#include <string_view>

// The coded-value vocabularies of the TIFF and EXIF sections as data: each is
// a closed table of {code, key, fallback}, read by one lookup. The key is the
// strings-table key; a non-empty fallback is the text shown when the table
// lacks the key (the upper-case keys), an empty one shows the key itself.
namespace quorix::vocabulary {

struct Entry {
    int code;
    std::string_view key;
    std::string_view fallback;
};

using Table = std::span<const Entry>;

extern const Table orientation;
extern const Table sharpness;
extern const Table flash;
extern const Table whiteBalance;
extern const Table contrast;
extern const Table exposureMode;
extern const Table exposureProgram;
extern const Table meteringMode;
extern const Table saturation;
extern const Table colorSpace;
extern const Table lightSource;
extern const Table sceneCaptureType;
extern const Table sensingMethod;
extern const Table gainControl;
extern const Table customRendered;
extern const Table subjectDistanceRange;

// The code a value carries: a number's value as a 32-bit signed integer, the
// fraction dropped toward zero and the result taken modulo 2^32, as a C
// conversion to a 32-bit type does (a LONG 4294967294 is code -2). Anything
// that is not a finite number (nil, NaN, infinity, a string, an array)
// carries no code.
std::optional<int> codeOf(const NSObject* value);

// The table's row for the code, or nothing.
const Entry* find(Table table, int code);

// The localized text of the value's row: nil for a value without a code or a
// code the table does not list.
Ref<NSString> text(Table table, const NSObject* value);

// Flash codes are matched whole; a code outside the table is described only
// by its fired bit (bit 0), so an unlisted code never claims a flash that did
// not fire.
Ref<NSString> flashText(const NSObject* value);

} // namespace quorix::vocabulary
