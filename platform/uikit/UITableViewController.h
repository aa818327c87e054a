#pragma once

#include "uikit/UITableView.h"
#include "uikit/UIViewController.h"

// A screen whose view is a table, and which is that table's data source
// and delegate. Its own answers are the empty table's (no rows, no cell);
// a subclass answers with members registered under the data source's and
// delegate's selectors, which the table reaches by message.
class UITableViewController : public UIViewController {
    QX_OBJECT(UITableViewController, UIViewController)
public:
    // Reaches initWithNibName:bundle: by message, so that path runs as for
    // any controller.
    UITableViewController* initWithStyle(NSInteger style);

    NSInteger tableViewStyle() const { return style_; }
    // The view, loaded on first use.
    UITableView* tableView();
    void setTableView(UITableView* tableView);

    // A table with the screen's bounds, this controller as its data source
    // and delegate.
    void loadView();
    // The first appearance fills the table.
    void viewWillAppear(bool animated);

    NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) const { return 0; }
    UITableViewCell* tableViewCellForRowAtIndexPath(UITableView*, NSIndexPath*) const { return nullptr; }

protected:
    UITableViewController() = default;

private:
    NSInteger style_ = UITableViewStylePlain;
};
