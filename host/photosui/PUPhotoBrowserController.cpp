#include "photosui/PUPhotoBrowserController.h"

#include "photosui/PUPopoverController.h"

#include "photolibrary/DeviceKind.h"

QX_DEFINE_CLASS(PUPhotoBrowserController)
{
    b.method<&PUPhotoBrowserController::updateBarItemsAnimated>("_updateBarItemsAnimated:");
    b.method<&PUPhotoBrowserController::toggleEditing>("_toggleEditing:");
    b.method<&PUPhotoBrowserController::isEditing>("isEditing");
    b.method("_rebuildBars", [](PUPhotoBrowserController* self) { self->send("_updateBarItemsAnimated:", false); });
    b.method("_deleteCurrentItem:", [](PUPhotoBrowserController* self, id sender) {
        self->dismissPopoversFromBars();
        self->confirmRemoval(sender);
    });
    b.method("dealloc", [](PUPhotoBrowserController* self) { objc::sendSuper(self, "dealloc"); });
}

Class PUPhotoBrowserController::sharePopoverClass() const { return PUPopoverController::objcClass(); }

void PUPhotoBrowserController::updateBarItemsAnimated(bool)
{
    navigationItem()->setLeftBarButtonItem(closeItem());
    auto share = [this] { return UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemAction, this, "_shareFromItem:"); };
    auto remove = [this] { return UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemTrash, this, "_deleteCurrentItem:"); };
    if (photolibrary::deviceIsTablet()) {
        setToolbarItems(nullptr);
        auto items = editing_
            ? arrayOfBarItems({ UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemDone, this, "_toggleEditing:") })
            : arrayOfBarItems({ UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemEdit, this, "_toggleEditing:"), share(), remove() });
        navigationItem()->setRightBarButtonItems(items);
        return;
    }
    navigationItem()->setRightBarButtonItems(nullptr);
    auto items = arrayOfBarItems({
        share(),
        UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemFlexibleSpace, nullptr, {}),
        remove(),
    });
    setToolbarItems(items);
}

// Editing has no tools of its own in this host; the bar changes to its
// editing form and back, which is a rebuild like any other.
void PUPhotoBrowserController::toggleEditing(id)
{
    editing_ = !editing_;
    send("_updateBarItemsAnimated:", true);
}
