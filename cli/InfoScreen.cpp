#include "cli/InfoScreen.h"

#include "photolibrary/PLManagedAsset.h"
#include "foundation/NSArray.h"
#include "foundation/NSDate.h"
#include "foundation/NSDateFormatter.h"
#include "imageio/FullReader.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UITableView.h"
#include "uikit/UITableViewController.h"

namespace quorix::cli {

namespace {

std::string textOf(const UILabel* label)
{
    const NSString* text = label ? label->text() : nullptr;
    return text ? text->str() : std::string();
}

Class classNamed(const char* name) { return NSClassFromString(NSString::stringWithUTF8String(name).get()); }

} // namespace

InfoScreenContent readInfoScreen(const std::string& path)
{
    AutoreleasePool pool;
    InfoScreenContent content;
    auto asset = PLManagedAsset::assetWithPath(path);
    // The format is looked up only for a file the reader could not open;
    // a file whose format cannot be looked up is given the benefit of the doubt.
    content.image = asset->isPhoto() || imageio::recognisesFormat(path).value_or(true);
    auto screen = objc::create(classNamed("QXQuorixViewController"), "initWithStyle:", NSInteger { UITableViewStyleGrouped });
    if (!screen)
        return content;
    objc::send(screen, "setAsset:", asset);
    // Asking for the table loads the view, which parses the photo.
    auto* table = objc::send<UITableView*>(screen, "tableView");
    NSObject* source = table ? table->dataSource() : nullptr;
    if (!source)
        return content;

    if (auto* item = objc::send<UINavigationItem*>(screen, "navigationItem"); item && item->title())
        content.title = item->title()->str();

    auto* sections = objc::send<NSArray*>(screen, "sectionsInfo");
    const auto sectionCount = objc::send<NSInteger>(source, "numberOfSectionsInTableView:", table);
    for (NSInteger section = 0; section < sectionCount; ++section) {
        ShownSection shown;
        if (sections && static_cast<size_t>(section) < sections->count())
            shown.category = objc::send<int>(sections->objectAtIndex(static_cast<size_t>(section)), "category");
        const auto rowCount = objc::send<NSInteger>(source, "tableView:numberOfRowsInSection:", table, section);
        for (NSInteger row = 0; row < rowCount; ++row) {
            auto indexPath = NSIndexPath::indexPathForRowInSection(row, section);
            auto cell = objc::send<Ref<UITableViewCell>>(source, "tableView:cellForRowAtIndexPath:", table, indexPath);
            if (!cell)
                continue;
            shown.rows.push_back({ textOf(cell->textLabel()), textOf(cell->detailTextLabel()),
                cell->accessoryType() == UITableViewCellAccessoryDisclosureIndicator });
            // Read and done with, as a row scrolled past: the next row reuses
            // the cell instead of making its own.
            table->enqueueReusableCell(cell);
        }
        content.sections.push_back(std::move(shown));
    }

    if (auto* location = objc::send<NSObject*>(screen, "location"))
        content.location = objc::send<CLLocationCoordinate2D>(location, "coordinate");

    // The stamp: the photo's capture date in the screen's display format.
    auto* parser = objc::sendClass<NSObject*>(classNamed("QXParser"), "sharedQXParser");
    auto date = objc::send<Ref<NSDate>>(parser, "dateForAsset:", asset);
    auto* formatter = objc::send<NSDateFormatter*>(screen, "dateFormater");
    if (date && formatter) {
        if (auto text = objc::send<Ref<NSString>>(formatter, "stringFromDate:", date))
            content.stamp = text->str();
    }
    return content;
}

} // namespace quorix::cli
