#include "foundation/Digest.h"

#include <md5.h>

static_assert(MD5_DIGEST_STRING_LENGTH == foundation::kMd5HexDigits + 1, "quorix_md5_hex writes the digits and a NUL");

extern "C" bool quorix_md5_hex(const unsigned char* bytes, size_t length, char* hex) noexcept
{
    return MD5Data(bytes, length, hex) != nullptr;
}
