#pragma once

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "util/Localization.h"

#include <string_view>

// What every section builder does to make one row.
namespace quorix::parser {

// Appends a row of the localized label (key = the English label) and the
// value, when a row is made: nothing for a nil value or an empty translation.
void addRow(NSMutableArray* rows, std::string_view labelKey, const NSObject* value);
template<class T>
void addRow(NSMutableArray* rows, std::string_view labelKey, const Ref<T>& value)
{
    addRow(rows, labelKey, static_cast<const NSObject*>(value.get()));
}

// A value format that is itself translated ("%@ mm"), filled with the
// value's text. A translation without "%@" is used as written.
Ref<NSString> localizedFormat(std::string_view format, const NSObject* value);

} // namespace quorix::parser
