#include "foundation/Digest.h"

#include "foundation/SharedLibrary.h"

namespace foundation {

std::optional<std::string> md5Hex(std::string_view bytes)
{
    static const auto digest = libraryBesidePlatform<decltype(&quorix_md5_hex)>(kDigestsLibrary, "quorix_md5_hex",
        "MD5 digests cannot be made");
    if (!digest)
        return std::nullopt;
    char hex[kMd5HexDigits + 1];
    if (!digest(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), hex))
        return std::nullopt;
    return std::string(hex, kMd5HexDigits);
}

} // namespace foundation
