#include "loader/DynamicLibraryLoader.h"

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
        std::error_code typeError;
        // A folder (or a link to one) is never a library, even when named like one.
        if (entry.path().extension() == ".so" && !entry.is_directory(typeError))
            libraries.push_back(entry.path());
    }
    std::sort(libraries.begin(), libraries.end(),
        [](const auto& a, const auto& b) { return a.filename().native() < b.filename().native(); });
    return libraries;
}

LoadResult loadLibraries(const std::filesystem::path& folder, const std::function<void(const LoadFailure&)>& onFailure)
{
    LoadResult result;
    auto fail = [&](LoadFailure failure) {
        if (onFailure)
            onFailure(failure);
        result.failures.push_back(std::move(failure));
    };
    if (folder.empty()) {
        fail({ LoadFailure::Kind::Folder, folder, "the program's own path cannot be read" });
        return result;
    }
    std::vector<LoadFailure> listing;
    auto libraries = librariesIn(folder, listing);
    for (auto& failure : listing)
        fail(std::move(failure));
    for (const auto& library : libraries) {
        // dlopen would wait on a FIFO; anything but a file (or a link to
        // one) is a library that cannot be loaded.
        std::error_code statusError;
        auto status = std::filesystem::status(library, statusError);
        if (statusError || !std::filesystem::is_regular_file(status)) {
            fail({ LoadFailure::Kind::Library, library, statusError ? statusError.message() : "not a regular file" });
            continue;
        }
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
        fail({ LoadFailure::Kind::Library, library, reason });
    }
    return result;
}

void reportFailure(const LoadFailure& failure, std::string_view program, std::ostream& err)
{
    if (failure.kind == LoadFailure::Kind::Library)
        err << program << ": cannot load " << failure.path.string() << ": " << failure.reason << std::endl;
    else
        err << program << ": cannot read library folder " << failure.path.string() << ": " << failure.reason << std::endl;
}

} // namespace quorix::loader
