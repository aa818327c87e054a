#include "DynamicLibraryLoader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <ostream>
#include <system_error>
#include <unistd.h>

namespace quorix::loader {

namespace {

std::filesystem::path runningProgram()
{
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    // The kernel marks a program replaced on disk since it started.
    std::string text = program.string();
    constexpr std::string_view deleted = " (deleted)";
    if (text.ends_with(deleted))
        text.resize(text.size() - deleted.size());
    return text;
}

} // namespace

std::filesystem::path defaultLibraryFolder()
{
    auto program = runningProgram();
    if (program.empty())
        return {};
    return (program.parent_path() / ".." / "lib" / "quorix" / "DynamicLibraries").lexically_normal();
}

std::filesystem::path libraryFolder(const std::optional<std::string>& option)
{
    if (option)
        return *option;
    if (const char* variable = std::getenv(LibraryFolderVariable); variable && *variable)
        return variable;
    return defaultLibraryFolder();
}

std::vector<std::filesystem::path> librariesIn(const std::filesystem::path& folder, std::vector<LoadFailure>& failures)
{
    std::vector<std::filesystem::path> libraries;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) {
        failures.push_back({ LoadFailure::Kind::Folder, folder, error.message() });
        return libraries;
    }
    for (const auto& entry : entries) {
        const auto& path = entry.path();
        std::error_code typeError;
        // is_regular_file follows links, so a link to a library counts.
        if (path.extension() == ".so" && entry.is_regular_file(typeError))
            libraries.push_back(path);
    }
    std::sort(libraries.begin(), libraries.end(),
        [](const auto& a, const auto& b) { return a.filename().native() < b.filename().native(); });
    return libraries;
}

LoadResult loadLibraries(const std::filesystem::path& folder)
{
    LoadResult result;
    if (folder.empty()) {
        result.failures.push_back({ LoadFailure::Kind::Folder, folder, "the program's own path cannot be read" });
        return result;
    }
    for (const auto& library : librariesIn(folder, result.failures)) {
        // Resolving every symbol now turns a missing one into a failure to
        // load here, instead of a crash when the host first calls in.
        if (dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL)) {
            result.loaded.push_back(library);
            continue;
        }
        const char* why = dlerror();
        std::string reason = why ? why : "unknown error";
        // dlerror starts with the path; the report names it once.
        const std::string prefix = library.string() + ": ";
        if (reason.starts_with(prefix))
            reason.erase(0, prefix.size());
        result.failures.push_back({ LoadFailure::Kind::Library, library, reason });
    }
    return result;
}

void reportFailures(const LoadResult& result, std::string_view program, std::ostream& err)
{
    for (const auto& failure : result.failures) {
        if (failure.kind == LoadFailure::Kind::Library)
            err << program << ": cannot load " << failure.path.string() << ": " << failure.reason << '\n';
        else
            err << program << ": cannot read library folder " << failure.path.string() << ": " << failure.reason << '\n';
    }
}

} // namespace quorix::loader
