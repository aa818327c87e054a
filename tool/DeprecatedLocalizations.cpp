#include "tool/DeprecatedLocalizations.h"

#include "foundation/NSArray.h"
#include "foundation/NSFileManager.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 2> kApplicationBundles {
    "/Applications/Camera.app",
    "/Applications/MobileSlideShow.app",
};

constexpr std::array<std::string_view, 8> kLocalizationDirectories {
    "German.lproj",
    "de.lproj",
    "English.lproj",
    "en.lproj",
    "Italian.lproj",
    "it.lproj",
    "Japanese.lproj",
    "ja.lproj",
};

constexpr std::string_view kPackageStringsFile = "Quorix.strings";
// A plain suffix: any name ending in these seven letters counts, dot or not.
constexpr std::string_view kStringsSuffix = "strings";

} // namespace

bool isDeprecatedDirectory(std::string_view path)
{
    auto* fileManager = NSFileManager::defaultManager();
    bool isDirectory = false;
    if (!fileManager->fileExistsAtPath(path, &isDirectory) || !isDirectory)
        return false;

    // A listing that fails counts as an empty directory, which stays.
    auto entries = fileManager->contentsOfDirectoryAtPath(path);
    if (!entries)
        return false;
    int stringsFiles = 0;
    bool packageFileSeen = false;
    for (const auto& entry : *entries) {
        const auto* name = objc_cast<NSString>(entry.get());
        if (!name || !name->hasSuffix(kStringsSuffix))
            continue;
        ++stringsFiles;
        if (name->isEqualToString(kPackageStringsFile))
            packageFileSeen = true;
    }
    return stringsFiles == 1 && packageFileSeen;
}

void deleteDeprecatedDirectoriesIfNeeded(std::string_view root)
{
    AutoreleasePool pool;
    auto* fileManager = NSFileManager::defaultManager();
    auto rootPath = NSString::stringWithUTF8String(root);
    for (auto bundle : kApplicationBundles) {
        auto bundlePath = rootPath->stringByAppendingPathComponent(bundle);
        for (auto directory : kLocalizationDirectories) {
            auto candidate = bundlePath->stringByAppendingPathComponent(directory);
            // A candidate that is a symbolic link passes the test by what it
            // names, but removal takes the link itself away, never what it
            // points to. A removal that fails leaves the directory and the
            // loop goes on.
            if (isDeprecatedDirectory(candidate->str()))
                fileManager->removeItemAtPath(candidate->str());
        }
    }
}

void deleteDeprecatedDirectoriesIfNeeded()
{
    deleteDeprecatedDirectoriesIfNeeded("/");
}
