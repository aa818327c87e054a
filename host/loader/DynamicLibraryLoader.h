#pragma once

// Loads the libraries that extend a host program, the way the phone's
// code-injection loader does: when the host starts, before it runs, every
// shared library (`*.so`) in the dynamic-libraries folder is opened with
// dlopen, in the order of their names, and their constructors run. A library
// that does not load is skipped; the host goes on without it.
//
//   auto folder = quorix::loader::libraryFolder(optionValue);
//   quorix::loader::loadLibraries(folder, [](const auto& failure) {
//       quorix::loader::reportFailure(failure, "quorix-viewer", std::cerr);
//   });

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::loader {

// The environment variable that names the folder in place of the default.
inline constexpr const char* LibraryFolderVariable = "QUORIX_LIBRARY_DIR";

// The installed folder, found from the running program:
// `<program dir>/../lib/quorix/DynamicLibraries` (the build tree is laid
// out the same way). Empty when the program's path cannot be read.
std::filesystem::path defaultLibraryFolder();

// The folder to load from: the option's value when given, else the
// environment variable's when set and not empty, else the default.
std::filesystem::path libraryFolder(const std::optional<std::string>& option);

struct LoadFailure {
    enum class Kind {
        Folder, // the folder could not be read: nothing was loaded from it
        Library,
    };
    Kind kind;
    std::filesystem::path path;
    std::string reason;
};

struct LoadResult {
    std::vector<std::filesystem::path> loaded; // in load order
    std::vector<LoadFailure> failures;
};

// The `*.so` entries of the folder that are not folders, sorted by name,
// byte by byte. When the folder cannot be read, the reason goes to `failures`.
std::vector<std::filesystem::path> librariesIn(const std::filesystem::path& folder, std::vector<LoadFailure>& failures);

// Loads each library of the folder in turn; `onFailure`, when given, hears
// of each failure as it happens, so reports keep the load order. Loaded
// libraries stay loaded for the life of the process.
LoadResult loadLibraries(const std::filesystem::path& folder,
    const std::function<void(const LoadFailure&)>& onFailure = {});

// One line on `err`: "PROGRAM: cannot load PATH: REASON", or "PROGRAM:
// cannot read library folder PATH: REASON".
void reportFailure(const LoadFailure& failure, std::string_view program, std::ostream& err);

} // namespace quorix::loader
