#pragma once

#include "foundation/NSArray.h"
#include "foundation/NSString.h"

// 32 lower-case hexadecimal digits: the MD5 digest of the string's UTF-8 bytes
// up to the first NUL.
Ref<NSString> md5HexDigest(const NSString* string);
// Without leading and trailing white space and line breaks (Unicode space
// separators, tab, and the line-break characters).
Ref<NSString> trimmedString(const NSString* string);
// The pieces between separators, in left-to-right order, empty pieces kept.
// `reversed` searches from the end, which differs from the forward split only
// where occurrences of the separator overlap.
Ref<NSArray> componentsSeparatedByStringReversed(const NSString* string, const NSString* separator, bool reversed);
