#include "WAlbumViewController.h"

#include "WPhotosAppController.h"

#include "foundation/NSString.h"
#include "uikit/UITableViewCell.h"

QX_DEFINE_CLASS(WAlbumViewController)
{
    b.method<&WAlbumViewController::tableViewNumberOfRowsInSection>("tableView:numberOfRowsInSection:");
    b.method<&WAlbumViewController::tableViewCellForRowAtIndexPath>("tableView:cellForRowAtIndexPath:");
    b.method<&WAlbumViewController::tableViewDidSelectRowAtIndexPath>("tableView:didSelectRowAtIndexPath:");
}

WAlbumViewController* WAlbumViewController::initWithNamesApp(std::vector<std::string> names, WPhotosAppController* app)
{
    initWithStyle(UITableViewStylePlain);
    names_ = std::move(names);
    app_ = app;
    setTitle("Photos"_ns.get());
    return this;
}

NSInteger WAlbumViewController::tableViewNumberOfRowsInSection(UITableView*, NSInteger) const
{
    return static_cast<NSInteger>(names_.size());
}

Ref<UITableViewCell> WAlbumViewController::tableViewCellForRowAtIndexPath(UITableView* table, NSIndexPath* indexPath)
{
    auto identifier = "Photo"_ns;
    Ref<UITableViewCell> cell = table->dequeueReusableCellWithIdentifier(identifier);
    if (!cell)
        cell = UITableViewCell::cellWithStyle(UITableViewCellStyleDefault, identifier);
    cell->textLabel()->setText(NSString::stringWithUTF8String(names_.at(static_cast<size_t>(indexPath->row()))).get());
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    return cell;
}

void WAlbumViewController::tableViewDidSelectRowAtIndexPath(UITableView* table, NSIndexPath* indexPath)
{
    table->deselectRowAtIndexPathAnimated(indexPath, false);
    if (auto* app = app_.get())
        app->openViewer(indexPath->row());
}
