#include "photolibrary/PLPhotoBrowserController.h"

QX_DEFINE_CLASS(PLPhotoBrowserController)
{
    b.method<&PLPhotoBrowserController::dismissPopovers>("_dismissPopovers");
    b.method<&PLPhotoBrowserController::shareItemClicked>("shareItemClicked:");
    // The confirmation never shows under a popover: they close first, through
    // the message, so a library that replaced it closes its own as well.
    b.method("deleteImageClicked:", [](PLPhotoBrowserController* self, id sender) {
        self->send<bool>("_dismissPopovers");
        self->confirmRemoval(sender);
    });
    b.method("dealloc", [](PLPhotoBrowserController* self) { objc::sendSuper(self, "dealloc"); });
}

void PLPhotoBrowserController::shareItemClicked(id sender)
{
    if (send<bool>("_dismissPopovers"))
        return;
    shareFromItem(sender);
}
