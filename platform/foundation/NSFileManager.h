#pragma once

#include "foundation/Forward.h"
#include "runtime/ClassDefinition.h"

#include <string_view>

// Keys of an item's attribute dictionary.
inline constexpr const char* NSFileSize = "NSFileSize"; // NSNumber, bytes
inline constexpr const char* NSFileModificationDate = "NSFileModificationDate"; // NSDate
inline constexpr const char* NSFileType = "NSFileType"; // NSString, one of the types below
inline constexpr const char* NSFileTypeRegular = "NSFileTypeRegular";
inline constexpr const char* NSFileTypeDirectory = "NSFileTypeDirectory";
inline constexpr const char* NSFileTypeSymbolicLink = "NSFileTypeSymbolicLink";
inline constexpr const char* NSFileTypeUnknown = "NSFileTypeUnknown";

class NSFileManager : public NSObject {
    QX_OBJECT(NSFileManager, NSObject)
public:
    static NSFileManager* defaultManager();

    // Size, modification date and type of the item (a symbolic link is
    // followed to what it names); nil when it cannot be examined.
    Ref<NSDictionary> attributesOfItemAtPath(std::string_view path) const;
    // Whether something exists at the path (links followed) and whether it is a directory.
    bool fileExistsAtPath(std::string_view path, bool* isDirectory = nullptr) const;
    // The names of the directory's direct entries, sorted; nil when it cannot be listed.
    Ref<NSArray> contentsOfDirectoryAtPath(std::string_view path) const;
    // Removes the item and everything in it. A symbolic link is removed
    // itself, never followed into. False when anything could not be removed.
    bool removeItemAtPath(std::string_view path) const;

protected:
    NSFileManager() = default;
};
