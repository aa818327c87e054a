#include "foundation/NSFileManager.h"

#include "foundation/NSArray.h"
#include "foundation/NSDate.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

QX_DEFINE_CLASS(NSFileManager)
{
    b.method("fileExistsAtPath:", [](NSFileManager* self, NSString* path) {
        return path && self->fileExistsAtPath(path->str());
    });
}

namespace {

// The type's name as a string object, made once: strings never change.
NSString* fileType(mode_t mode)
{
    static const struct {
        NSString* regular = NSString::stringWithUTF8String(NSFileTypeRegular).leak();
        NSString* directory = NSString::stringWithUTF8String(NSFileTypeDirectory).leak();
        NSString* symbolicLink = NSString::stringWithUTF8String(NSFileTypeSymbolicLink).leak();
        NSString* unknown = NSString::stringWithUTF8String(NSFileTypeUnknown).leak();
    } names;
    if (S_ISREG(mode))
        return names.regular;
    if (S_ISDIR(mode))
        return names.directory;
    if (S_ISLNK(mode))
        return names.symbolicLink;
    return names.unknown;
}

// stat(2) of a path given as a view, copied to the stack to end it with a
// NUL. A path with a NUL inside names no file; none longer than PATH_MAX can
// be looked up.
bool statPath(std::string_view path, struct stat& info)
{
    char terminated[PATH_MAX];
    if (path.empty() || path.size() >= sizeof terminated || path.find('\0') != std::string_view::npos)
        return false;
    *std::copy(path.begin(), path.end(), terminated) = '\0';
    return ::stat(terminated, &info) == 0;
}

} // namespace

NSFileManager* NSFileManager::defaultManager()
{
    static NSFileManager* manager = make_object<NSFileManager>().leak();
    return manager;
}

Ref<NSDictionary> NSFileManager::attributesOfItemAtPath(std::string_view path) const
{
    struct stat info {};
    if (!statPath(path, info))
        return nullptr;
    // In the order of the keys, so each entry goes at the end.
    auto attributes = NSMutableDictionary::dictionaryWithCapacity(3);
    double modified = static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
    attributes->setObjectForKey(NSDate::dateWithTimeIntervalSince1970(modified), NSFileModificationDate);
    attributes->setObjectForKey(NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(info.st_size)), NSFileSize);
    attributes->setObjectForKey(fileType(info.st_mode), NSFileType);
    return attributes;
}

bool NSFileManager::fileExistsAtPath(std::string_view path, bool* isDirectory) const
{
    struct stat info {};
    bool exists = statPath(path, info);
    if (isDirectory)
        *isDirectory = exists && S_ISDIR(info.st_mode);
    return exists;
}

Ref<NSArray> NSFileManager::contentsOfDirectoryAtPath(std::string_view path) const
{
    if (path.empty())
        return nullptr;
    DIR* directory = ::opendir(std::string(path).c_str());
    if (!directory)
        return nullptr;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(directory)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    auto contents = NSMutableArray::array();
    for (const auto& name : names)
        contents->addObject(NSString::stringWithUTF8String(name));
    return contents;
}

bool NSFileManager::removeItemAtPath(std::string_view path) const
{
    if (path.empty())
        return false;
    try {
        std::error_code error;
        // remove_all removes a symbolic link itself and never descends through one.
        auto removed = std::filesystem::remove_all(std::filesystem::path(path), error);
        return !error && removed != static_cast<std::uintmax_t>(-1) && removed > 0;
    } catch (const std::exception&) {
        return false;
    }
}
