#include "screens/QXQuorixViewController.h"

#include "foundation/NSURL.h"
#include "parser/QXParser.h"
#include "parser/QXRow.h"
#include "screens/QXLocationViewController.h"
#include "screens/QXMoreViewController.h"
#include "screens/ReusableCell.h"
#include "settings/Quorix.h"
#include "uikit/UIApplication.h"
#include "util/DeviceIdiom.h"
#include "util/Localization.h"

namespace {

// The map web services the URL goes to: below system 6.0 the older
// provider's, from 6.0 on the system's own, which the maps application opens.
constexpr const char* kLegacyMapsHost = "maps.google.com";
constexpr const char* kMapsHost = "maps.apple.com";
constexpr float kFirstVersionWithOwnMaps = 6.0f;

constexpr CGSize kPopoverSize { 400, 550 };
constexpr double kMinimumValueFontSize = 10.0;

UIApplication* application() { return objc::sendClass<UIApplication*>(UIApplication::objcClass(), "sharedApplication"); }

} // namespace

QX_DEFINE_CLASS(QXQuorixViewController)
{
    b.ivar("_zel_StatusBarStyle", "q");
    b.property<&QXQuorixViewController::asset_>("asset");
    b.method<&QXQuorixViewController::dateFormater>("dateFormater");
    b.property<&QXQuorixViewController::sectionsInfo_>("sectionsInfo");
    b.property<&QXQuorixViewController::location_>("location");
    b.method<&QXQuorixViewController::viewDidLoad>("viewDidLoad");
    b.method<&QXQuorixViewController::getSectionsInfo>("getSectionsInfo");
    b.method<&QXQuorixViewController::MapURLString>("MapURLString");
    b.method<&QXQuorixViewController::numberOfSectionsInTableView>("numberOfSectionsInTableView:");
    b.method<&QXQuorixViewController::tableViewNumberOfRowsInSection>("tableView:numberOfRowsInSection:");
    b.method<&QXQuorixViewController::tableViewCellForRowAtIndexPath>("tableView:cellForRowAtIndexPath:");
    b.method<&QXQuorixViewController::tableViewDidSelectRowAtIndexPath>("tableView:didSelectRowAtIndexPath:");
    b.method<&QXQuorixViewController::tableViewAccessoryButtonTappedForRowWithIndexPath>("tableView:accessoryButtonTappedForRowWithIndexPath:");
    b.method<&QXQuorixViewController::tableViewShouldShowMenuForRowAtIndexPath>("tableView:shouldShowMenuForRowAtIndexPath:");
    b.method<&QXQuorixViewController::tableViewCanPerformActionForRowAtIndexPathWithSender>("tableView:canPerformAction:forRowAtIndexPath:withSender:");
    b.method<&QXQuorixViewController::tableViewPerformActionForRowAtIndexPathWithSender>("tableView:performAction:forRowAtIndexPath:withSender:");
    b.method<&QXQuorixViewController::zelDone>("_zel_done:");
    b.method<&QXQuorixViewController::zelInfo>("_zel_info:");
}

NSDateFormatter* QXQuorixViewController::dateFormater() const { return QXParser::sharedQXParser()->dateFormater(); }

void QXQuorixViewController::viewDidLoad()
{
    objc::sendSuper<void, QXQuorixViewController>(this, "viewDidLoad");
    // A view reloaded after a memory warning shows what the first load
    // found, and Done still restores the style from before the screen came.
    const bool firstLoad = !loadedOnce_;
    loadedOnce_ = true;
    if (firstLoad)
        objc::send(this, "getSectionsInfo");

    // The screen's own name, the same in every language.
    UINavigationItem* item = objc::send<UINavigationItem*>(this, "navigationItem");
    objc::send(item, "setTitle:", "Quorix"_ns);

    UIApplication* app = application();
    if (firstLoad)
        zelStatusBarStyle_ = objc::send<NSInteger>(app, "statusBarStyle");
    objc::send(app, "setStatusBarStyle:animated:", NSInteger { 0 }, true);

    const bool phone = QXDeviceIsPhone();
    const bool pad = QXDeviceIsPad();
    if (phone) {
        auto done = objc::create<UIBarButtonItem>("initWithBarButtonSystemItem:target:action:",
            NSInteger { UIBarButtonSystemItemDone }, this, SEL("_zel_done:"));
        objc::send(item, "setLeftBarButtonItem:", done);
    }
    if (phone || pad) {
        auto more = objc::create<UIBarButtonItem>("initWithTitle:style:target:action:",
            QXLocalizedString("More"), NSInteger { UIBarButtonItemStyleBordered }, this, SEL("_zel_info:"));
        objc::send(item, "setRightBarButtonItem:", more);
    }
    if (pad)
        objc::send(this, "setContentSizeForViewInPopover:", kPopoverSize);
}

void QXQuorixViewController::getSectionsInfo()
{
    QXParser* parser = QXParser::sharedQXParser();
    sectionsInfo_ = parser->parseAsset(asset_.get());
    location_ = parser->location();
    parser->resetParser();
}

Ref<NSString> QXQuorixViewController::MapURLString() const
{
    Ref<NSString> version = objc::send<Ref<NSString>>(QXCurrentDevice(), "systemVersion");
    const char* host = version && version->floatValue() < kFirstVersionWithOwnMaps ? kLegacyMapsHost : kMapsHost;
    CLLocationCoordinate2D coordinate = location_ ? location_->coordinate() : CLLocationCoordinate2D {};
    auto url = NSString::stringWithFormat("http://%s/maps?ll=%f,%f", host, coordinate.latitude, coordinate.longitude);
    if (Quorix::sharedQuorix()->mapsAppQueryLocationEnabled())
        url = NSString::stringWithFormat("%@&q=%f,%f", url.get(), coordinate.latitude, coordinate.longitude);
    return url;
}

QXSection* QXQuorixViewController::sectionAt(NSInteger index) const
{
    if (!sectionsInfo_ || index < 0 || static_cast<size_t>(index) >= sectionsInfo_->count())
        return nullptr;
    return objc_cast<QXSection>(sectionsInfo_->objectAtIndex(static_cast<size_t>(index)));
}

QXRow* QXQuorixViewController::rowAt(const NSIndexPath* indexPath) const
{
    QXSection* section = indexPath ? sectionAt(indexPath->section()) : nullptr;
    NSArray* rows = section ? section->items() : nullptr;
    if (!rows || indexPath->row() < 0 || static_cast<size_t>(indexPath->row()) >= rows->count())
        return nullptr;
    return objc_cast<QXRow>(rows->objectAtIndex(static_cast<size_t>(indexPath->row())));
}

bool QXQuorixViewController::isGPSRow(const NSIndexPath* indexPath, NSInteger row) const
{
    QXSection* section = indexPath ? sectionAt(indexPath->section()) : nullptr;
    return section && section->category() == QXSectionCategoryGPS && indexPath->row() == row;
}

NSInteger QXQuorixViewController::numberOfSectionsInTableView(UITableView*) const
{
    return sectionsInfo_ ? static_cast<NSInteger>(sectionsInfo_->count()) : 0;
}

NSInteger QXQuorixViewController::tableViewNumberOfRowsInSection(UITableView*, NSInteger index) const
{
    QXSection* section = sectionAt(index);
    return section && section->items() ? static_cast<NSInteger>(section->items()->count()) : 0;
}

Ref<UITableViewCell> QXQuorixViewController::tableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    static const Ref<NSString> identifier = "Cell"_ns;
    auto cell = QXReusableCell(tableView, identifier, UITableViewCellStyleValue1, [](UITableViewCell* made) {
        UILabel* detail = made->detailTextLabel();
        objc::send(detail, "setAdjustsFontSizeToFitWidth:", true);
        objc::send(detail, "setMinimumFontSize:", kMinimumValueFontSize);
    });
    // A reused cell may come from any row: everything it shows is set again.
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->textLabel()->setText(nullptr);
    cell->detailTextLabel()->setText(nullptr);

    QXSection* section = sectionAt(indexPath->section());
    QXRow* row = rowAt(indexPath);
    if (!section || !row)
        return cell;
    switch (section->category()) {
    case QXSectionCategoryFile:
    case QXSectionCategoryTIFF:
    case QXSectionCategoryEXIF:
        cell->textLabel()->setText(row->label());
        cell->detailTextLabel()->setText(row->value());
        break;
    case QXSectionCategoryGPS:
        cell->setSelectionStyle(UITableViewCellSelectionStyleBlue);
        cell->textLabel()->setText(row->label());
        // The rows after the coordinates lead somewhere rather than show a value.
        if (location_ && indexPath->row() != GPSRowCoordinates)
            cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        else
            cell->detailTextLabel()->setText(row->value());
        break;
    default:
        break;
    }
    return cell;
}

void QXQuorixViewController::showLocation()
{
    auto map = objc::create<QXLocationViewController>("init");
    objc::send(map, "setLocation:", location_);
    objc::send(objc::send<UINavigationController*>(this, "navigationController"), "pushViewController:animated:", map, true);
}

void QXQuorixViewController::tableViewDidSelectRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    objc::send(tableView, "deselectRowAtIndexPath:animated:", indexPath, true);
    if (isGPSRow(indexPath, GPSRowShowLocation)) {
        showLocation();
    } else if (isGPSRow(indexPath, GPSRowShowInMaps)) {
        auto url = objc::sendClass<Ref<NSURL>>(NSURL::objcClass(), "URLWithString:", objc::send<Ref<NSString>>(this, "MapURLString"));
        objc::send<bool>(application(), "openURL:", url);
        if (QXDeviceIsPad())
            objc::send(Quorix::sharedQuorix()->popoverController(), "dismissPopoverAnimated:", true);
    }
}

void QXQuorixViewController::tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView*, NSIndexPath* indexPath)
{
    QXSection* section = indexPath ? sectionAt(indexPath->section()) : nullptr;
    if (section && section->category() == QXSectionCategoryGPS)
        showLocation();
}

bool QXQuorixViewController::tableViewShouldShowMenuForRowAtIndexPath(UITableView*, NSIndexPath* indexPath) const
{
    return isGPSRow(indexPath, GPSRowCoordinates);
}

bool QXQuorixViewController::tableViewCanPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath* indexPath, id) const
{
    return isGPSRow(indexPath, GPSRowCoordinates) && action == SEL("copy:");
}

void QXQuorixViewController::tableViewPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath* indexPath, id)
{
    if (!isGPSRow(indexPath, GPSRowCoordinates) || action != SEL("copy:"))
        return;
    QXRow* row = rowAt(indexPath);
    auto* pasteboard = objc::sendClass<UIPasteboard*>(UIPasteboard::objcClass(), "generalPasteboard");
    objc::send(pasteboard, "setString:", row ? row->value() : nullptr);
}

void QXQuorixViewController::zelDone(id)
{
    objc::send(application(), "setStatusBarStyle:animated:", static_cast<NSInteger>(zelStatusBarStyle_), true);
    objc::send(this, "dismissModalViewControllerAnimated:", true);
}

void QXQuorixViewController::zelInfo(id)
{
    auto more = objc::create<QXMoreViewController>("initWithStyle:", NSInteger { UITableViewStyleGrouped });
    objc::send(objc::send<UINavigationController*>(this, "navigationController"), "pushViewController:animated:", more, true);
}
