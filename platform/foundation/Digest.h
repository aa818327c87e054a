#pragma once

// MD5 digests. libmd makes them, linked into a library of its own that the
// platform opens beside itself the first time a digest is asked for: a
// process that never asks, as a program showing one photo never does, does
// not load libmd nor bind its symbols.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// The digests' library, in the platform library's folder.
constexpr const char* kDigestsLibrary = "libquorix_digests.so";

// An MD5 digest in hexadecimal.
constexpr size_t kMd5HexDigits = 32;

// The library's one entry point: writes the MD5 digest of `length` bytes as
// kMd5HexDigits lower-case hexadecimal digits and a NUL into `hex`.
extern "C" bool quorix_md5_hex(const unsigned char* bytes, size_t length, char* hex) noexcept;

// The MD5 digest of `bytes` in lower-case hexadecimal; nothing when the
// library cannot be loaded (said once on standard error).
std::optional<std::string> md5Hex(std::string_view bytes);

} // namespace foundation
