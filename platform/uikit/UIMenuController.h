#pragma once

#include "runtime/ClassDefinition.h"
#include "runtime/WeakRef.h"
#include "uikit/Forward.h"

#include <string>
#include <string_view>
#include <vector>


// The one edit menu of the application (Cut, Copy, Paste), shown over a
// table row after a long press. Choosing an item sends the item's action to
// the table's delegate for that row, then the menu goes.
class UIMenuController : public NSObject {
    QX_OBJECT(UIMenuController, NSObject)
public:
    struct Item {
        std::string title;
        SEL action;
    };

    static UIMenuController* sharedMenuController();

    // Shown and its table still there.
    bool isMenuVisible() const;
    UITableView* targetTableView() const;
    NSIndexPath* targetIndexPath() const;
    // The items' titles in menu order; none while hidden.
    std::vector<std::string> menuItemTitles() const;

    void showForRowOfTableView(UITableView* tableView, const NSIndexPath* indexPath, std::vector<Item> items);
    // Chooses the item with this title: the table's delegate receives
    // tableView:performAction:forRowAtIndexPath:withSender: with the item's
    // action and this menu as sender, and the menu hides. False, and
    // nothing happens, when the menu is hidden or has no such item.
    bool tapItem(std::string_view title);
    void hide();

protected:
    UIMenuController() = default;

private:
    objc::WeakRef<UITableView> tableView_;
    Ref<NSIndexPath> indexPath_;
    std::vector<Item> items_;
    bool visible_ = false;
};
