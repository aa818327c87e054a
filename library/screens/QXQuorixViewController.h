#pragma once

#include "corelocation/CLLocation.h"
#include "foundation/NSArray.h"
#include "foundation/NSDateFormatter.h"
#include "parser/QXRow.h"
#include "parser/QXSection.h"
#include "uikit/UITableViewController.h"

#include <cstdint>

// The info screen: one untitled group per section the parser made of the
// photo, each row a label and its value. Only the GPS group acts: its
// coordinates row offers Copy, the next row opens the map screen and the
// third hands the position to the maps application. The bar has More and,
// on a phone, Done.
//
// The screen parses its asset once, when its view first loads, and from
// then on shows what it kept, also after a memory warning reloads the view. What a row does depends on its section's category,
// never on the section's position.
class QXQuorixViewController : public UITableViewController {
    QX_OBJECT(QXQuorixViewController, UITableViewController)
public:
    // The rows of the GPS group, as the parser makes them.
    enum GPSRow : NSInteger {
        GPSRowCoordinates = 0,
        GPSRowShowLocation = 1,
        GPSRowShowInMaps = 2,
    };

    id asset() const { return asset_.get(); }
    void setAsset(id asset) { asset_ = asset; }
    // The shared parser's display format; nothing is stored.
    NSDateFormatter* dateFormater() const;
    NSArray* sectionsInfo() const { return sectionsInfo_; }
    void setSectionsInfo(NSArray* sections) { sectionsInfo_ = sections; }
    CLLocation* location() const { return location_; }
    void setLocation(CLLocation* location) { location_ = location; }

    void viewDidLoad();
    // Parses the asset into sectionsInfo and location, then resets the parser.
    void getSectionsInfo();
    // "http://HOST/maps?ll=LAT,LON", with "&q=LAT,LON" when the maps
    // application should also search for the position.
    Ref<NSString> MapURLString() const;

    NSInteger numberOfSectionsInTableView(UITableView*) const;
    NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger section) const;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);
    void tableViewDidSelectRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);
    void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView*, NSIndexPath* indexPath);
    bool tableViewShouldShowMenuForRowAtIndexPath(UITableView*, NSIndexPath* indexPath) const;
    bool tableViewCanPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath* indexPath, id sender) const;
    void tableViewPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath* indexPath, id sender);

    // Done: restores the status bar and closes the screen.
    void zelDone(id sender);
    // More: opens the More screen.
    void zelInfo(id sender);

protected:
    QXQuorixViewController() = default;

private:
    QXSection* sectionAt(NSInteger index) const;
    QXRow* rowAt(const NSIndexPath* indexPath) const;
    bool isGPSRow(const NSIndexPath* indexPath, NSInteger row) const;
    void showLocation();

    int64_t zelStatusBarStyle_ = 0;
    bool loadedOnce_ = false;
    Ref<NSObject> asset_;
    Ref<NSArray> sectionsInfo_;
    Ref<CLLocation> location_;
};
