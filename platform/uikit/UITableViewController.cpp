#include "uikit/UITableViewController.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "uikit/UIApplication.h"

QX_DEFINE_CLASS(UITableViewController)
{
    b.method<&UITableViewController::initWithStyle>("initWithStyle:");
    b.method<&UITableViewController::tableView>("tableView");
    b.method<&UITableViewController::setTableView>("setTableView:");
    b.method<&UITableViewController::loadView>("loadView");
    b.method<&UITableViewController::viewWillAppear>("viewWillAppear:");
    b.method<&UITableViewController::tableViewNumberOfRowsInSection>("tableView:numberOfRowsInSection:");
    b.method<&UITableViewController::tableViewCellForRowAtIndexPath>("tableView:cellForRowAtIndexPath:");
}

UITableViewController* UITableViewController::initWithStyle(NSInteger style)
{
    style_ = style;
    return objc::send<UITableViewController*>(this, "initWithNibName:bundle:", nullptr, nullptr);
}

UITableView* UITableViewController::tableView() { return objc_cast<UITableView>(view()); }

void UITableViewController::setTableView(UITableView* tableView) { setView(tableView); }

void UITableViewController::loadView()
{
    auto table = UITableView::tableWithFrame(UIScreenBounds(), style_);
    table->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    table->setDataSource(this);
    table->setDelegate(this);
    setView(table);
}

void UITableViewController::viewWillAppear(bool animated)
{
    objc::sendSuper<void, UITableViewController>(this, "viewWillAppear:", animated);
    if (auto* table = objc_cast<UITableView>(isViewLoaded() ? view() : nullptr); table && table->needsReload())
        table->reloadData();
}
