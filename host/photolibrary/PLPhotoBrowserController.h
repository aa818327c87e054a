#pragma once

#include "photolibrary/PLPhotoViewerController.h"

// The older generation's photo browser on a tablet, which the application
// subclasses for its own bar. Its popovers are closed by `_dismissPopovers`,
// which says whether one was showing; the browser sends it before it opens
// a popover of its own, so a tap on Share while the share sheet shows
// closes it, and before it asks to confirm a Delete.
class PLPhotoBrowserController : public PLPhotoViewerController {
    QX_OBJECT(PLPhotoBrowserController, PLPhotoViewerController)
public:
    bool dismissPopovers() { return dismissSharePopover(); }
    void shareItemClicked(id sender);

protected:
    PLPhotoBrowserController() = default;
};
