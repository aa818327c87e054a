#pragma once

#include "foundation/NSArray.h"
#include "uikit/UIControl.h"
#include "uikit/UITableViewController.h"

// The More screen: the two switches (search the position in the maps
// application; show the date stamp), the developer with a feedback mail, and
// the translations with their credits and the version. The switches write
// straight into the settings store; the screen keeps no settings itself.
class QXMoreViewController : public UITableViewController {
    QX_OBJECT(QXMoreViewController, UITableViewController)
public:
    enum Section : NSInteger {
        SectionMapsApp = 0,
        SectionTimestamp = 1,
        SectionDeveloper = 2,
        SectionLocalization = 3,
    };

    static constexpr const char* versionText = "2.0.1";
    static constexpr const char* developerName = "Alex Example";
    static constexpr const char* feedbackAddress = "quorix-feedback@example.com";

    // Eight one-pair dictionaries, language name to credit.
    NSArray* localizationList() const { return localizationList_; }

    void viewDidLoad();
    void setupLocalizationList();

    NSInteger numberOfSectionsInTableView(UITableView*) const { return 4; }
    NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger section) const;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);
    Ref<UITableViewCell> normalTableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);
    Ref<UITableViewCell> switchTableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);
    Ref<UITableViewCell> style1TableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);
    Ref<NSString> tableViewTitleForHeaderInSection(UITableView*, NSInteger section) const;
    Ref<NSString> tableViewTitleForFooterInSection(UITableView*, NSInteger section) const;
    void tableViewDidSelectRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);

    void switchValueDidChange(UISwitch* sender);
    void sendMail();
    void mailComposeControllerDidFinishWithResultError(UIViewController* controller, NSInteger result, id error);

protected:
    QXMoreViewController() = default;

private:
    Ref<NSArray> localizationList_;
};
