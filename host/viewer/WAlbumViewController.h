#pragma once

#include "uikit/UITableViewController.h"

#include <string>
#include <vector>

class WPhotosAppController;

// The album the viewer opens from: one row per photo, by file name. A tap on
// a row opens the viewer on that photo.
class WAlbumViewController : public UITableViewController {
    QX_OBJECT(WAlbumViewController, UITableViewController)
public:
    WAlbumViewController* initWithNamesApp(std::vector<std::string> names, WPhotosAppController* app);

    NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) const;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* table, NSIndexPath* indexPath);
    void tableViewDidSelectRowAtIndexPath(UITableView* table, NSIndexPath* indexPath);

protected:
    WAlbumViewController() = default;

private:
    std::vector<std::string> names_;
    objc::WeakRef<WPhotosAppController> app_;
};
