#include "uikit/UIMenuController.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "uikit/NSIndexPath.h"
#include "uikit/UITableView.h"

#include <algorithm>

QX_DEFINE_CLASS(UIMenuController)
{
    b.classMethod("sharedMenuController", [](Class) -> id { return UIMenuController::sharedMenuController(); });
    b.method<&UIMenuController::isMenuVisible>("isMenuVisible");
    b.method<&UIMenuController::isMenuVisible>("menuVisible");
    b.method("setMenuVisible:", [](UIMenuController* self, bool visible) {
        if (!visible)
            self->hide();
    });
    b.method("setMenuVisible:animated:", [](UIMenuController* self, bool visible, bool) {
        if (!visible)
            self->hide();
    });
    b.method("menuItemTitles", [](UIMenuController* self) {
        auto titles = NSMutableArray::array();
        for (const auto& title : self->menuItemTitles())
            titles->addObject(NSString::stringWithUTF8String(title));
        return titles;
    });
}

UIMenuController* UIMenuController::sharedMenuController()
{
    static UIMenuController* menu = make_object<UIMenuController>().leak();
    return menu;
}

bool UIMenuController::isMenuVisible() const { return visible_ && tableView_; }

UITableView* UIMenuController::targetTableView() const { return isMenuVisible() ? tableView_.get() : nullptr; }

NSIndexPath* UIMenuController::targetIndexPath() const { return isMenuVisible() ? indexPath_.get() : nullptr; }

std::vector<std::string> UIMenuController::menuItemTitles() const
{
    std::vector<std::string> titles;
    if (!isMenuVisible())
        return titles;
    for (const auto& item : items_)
        titles.push_back(item.title);
    return titles;
}

void UIMenuController::showForRowOfTableView(UITableView* tableView, const NSIndexPath* indexPath, std::vector<Item> items)
{
    if (!tableView || !indexPath || items.empty()) {
        hide();
        return;
    }
    tableView_ = tableView;
    indexPath_ = NSIndexPath::indexPathForRowInSection(indexPath->row(), indexPath->section());
    items_ = std::move(items);
    visible_ = true;
}

bool UIMenuController::tapItem(std::string_view title)
{
    if (!isMenuVisible())
        return false;
    auto item = std::find_if(items_.begin(), items_.end(), [&](const Item& candidate) { return candidate.title == title; });
    if (item == items_.end())
        return false;
    // The delegate may close the screen that owns the table; everything the
    // call needs is held here, and the menu is gone before it runs.
    const SEL action = item->action;
    Ref<UITableView> table(tableView_.get());
    Ref<NSIndexPath> indexPath = indexPath_;
    Ref<NSObject> delegate(table->delegate());
    Ref<UIMenuController> keep(this);
    hide();
    static const SEL perform("tableView:performAction:forRowAtIndexPath:withSender:");
    if (delegate && delegate->respondsToSelector(perform))
        objc::send<void>(delegate, perform, table, action, indexPath, this);
    return true;
}

void UIMenuController::hide()
{
    visible_ = false;
    tableView_ = nullptr;
    indexPath_ = nullptr;
    items_.clear();
}
