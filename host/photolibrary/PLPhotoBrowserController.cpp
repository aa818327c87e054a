#include "PLPhotoBrowserController.h"

QX_DEFINE_CLASS(PLPhotoBrowserController)
{
    b.method<&PLPhotoBrowserController::dismissPopovers>("_dismissPopovers");
    b.method<&PLPhotoBrowserController::shareItemClicked>("shareItemClicked:");
    b.method("deleteImageClicked:", [](PLPhotoBrowserController* self, id sender) { self->confirmRemoval(sender); });
    b.method("dealloc", [](PLPhotoBrowserController* self) { objc::sendSuper(self, "dealloc"); });
}

void PLPhotoBrowserController::shareItemClicked(id sender)
{
    if (send<bool>("_dismissPopovers"))
        return;
    shareFromItem(sender);
}
