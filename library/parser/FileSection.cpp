#include "parser/QXParser.h"

#include "foundation/NSDate.h"
#include "foundation/NSFileManager.h"
#include "foundation/NSNumber.h"
#include "parser/SectionRows.h"
#include "util/NSObject+ZELExtension.h"

#include <atomic>

using quorix::parser::addRow;

namespace {

// "W x H" of two asset properties, or nil when either is absent. The host
// declares its sizes either as number objects or as plain integers; the
// declaration of the width decides for both, since the two are declared alike.
Ref<NSString> sizeText(id asset, SEL widthName, SEL heightName)
{
    // Looked up by name until the host has registered it; a class stays.
    static std::atomic<Class> assetClass { nullptr };
    Class declaring = assetClass.load(std::memory_order_acquire);
    if (!declaring) {
        declaring = NSClassFromString("PLManagedAsset");
        assetClass.store(declaring, std::memory_order_release);
    }
    if (IsPropertyObjectType(declaring, sel_getName(widthName))) {
        id width = objc::send<id>(asset, widthName);
        id height = objc::send<id>(asset, heightName);
        if (!width || !height)
            return nullptr;
        return NSString::stringWithFormat("%@ x %@", width, height);
    }
    auto width = objc::send<NSInteger>(asset, widthName);
    auto height = objc::send<NSInteger>(asset, heightName);
    if (width == 0 || height == 0)
        return nullptr;
    return NSString::stringWithFormat("%d x %d", width, height);
}

} // namespace

void QXParser::getFileInfo()
{
    auto rows = NSMutableArray::array();
    addRow(rows, "Name", objc::send<NSString*>(asset_, "filename"_sel));
    addRow(rows, "Directory", objc::send<NSString*>(asset_, "directory"_sel));

    // A video has no image size.
    if (send<bool>("isPhoto"_sel)) {
        addRow(rows, "Image Size", sizeText(asset_, "width"_sel, "height"_sel));
        addRow(rows, "Original Image Size", sizeText(asset_, "originalWidth"_sel, "originalHeight"_sel));
    }

    Ref<NSDictionary> attributes;
    if (Ref<NSString> path = send<NSString*>("fullPath"_sel))
        attributes = NSFileManager::defaultManager()->attributesOfItemAtPath(path->str());
    if (attributes) {
        if (const auto* size = attributes->objectOfClassForKey<NSNumber>(NSFileSize))
            addRow(rows, "File Size", send<NSString*>("prettyFileSize:"_sel, size->longLongValue()));
        if (const auto* modified = attributes->objectOfClassForKey<NSDate>(NSFileModificationDate)) {
            auto* formatter = send<NSDateFormatter*>("dateFormater"_sel);
            addRow(rows, "Modified", formatter ? formatter->stringFromDate(modified) : nullptr);
        }
    }

    send("setBasic:"_sel, rows);
}
