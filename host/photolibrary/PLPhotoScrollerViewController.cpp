#include "photolibrary/PLPhotoScrollerViewController.h"

QX_DEFINE_CLASS(PLPhotoScrollerViewController)
{
    b.method<&PLPhotoScrollerViewController::updateToolbar>("_updateToolbar:");
    b.method("_rebuildBars", [](PLPhotoScrollerViewController* self) { self->send("_updateToolbar:", false); });
    b.method("deleteImageClicked:", [](PLPhotoScrollerViewController* self, id sender) { self->confirmRemoval(sender); });
    b.method("dealloc", [](PLPhotoScrollerViewController* self) { objc::sendSuper(self, "dealloc"); });
}

void PLPhotoScrollerViewController::updateToolbar(bool)
{
    navigationItem()->setLeftBarButtonItem(closeItem());
    auto items = arrayOfBarItems({
        UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemAction, this, "_shareFromItem:"),
        UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemFlexibleSpace, nullptr, {}),
        UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemTrash, this, "deleteImageClicked:"),
    });
    setToolbarItems(items);
}
