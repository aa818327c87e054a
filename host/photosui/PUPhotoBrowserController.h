#pragma once

#include "photolibrary/PLPhotoViewerController.h"

// The version 7 viewer, phone and tablet. Its bars are rebuilt by
// `_updateBarItemsAnimated:`. On a tablet (and only there) they are the
// navigation item's right-hand items: Edit (action "_toggleEditing:"),
// Share and the delete item, laid out from the right edge inwards; while
// editing, Done alone. On a phone, and on a device that is neither, they are
// the bottom toolbar: Share, a flexible space and the delete item (action
// "_deleteCurrentItem:"). The close item sits on the left of the navigation bar.
// Delete closes the popovers shown from the bars before it asks to confirm.
class PUPhotoBrowserController : public PLPhotoViewerController {
    QX_OBJECT(PUPhotoBrowserController, PLPhotoViewerController)
public:
    void updateBarItemsAnimated(bool animated);
    void toggleEditing(id sender);
    bool isEditing() const { return editing_; }

protected:
    PUPhotoBrowserController() = default;
    Class sharePopoverClass() const override;

private:
    bool editing_ = false;
};
