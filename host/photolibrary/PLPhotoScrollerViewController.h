#pragma once

#include "photolibrary/PLPhotoViewerController.h"

// The older generation's viewer on a phone. Its bar is the bottom toolbar,
// rebuilt by `_updateToolbar:` (the argument says whether to animate):
// Share, a flexible space and the delete item (action "deleteImageClicked:"),
// with the close item on the left of the navigation bar.
class PLPhotoScrollerViewController : public PLPhotoViewerController {
    QX_OBJECT(PLPhotoScrollerViewController, PLPhotoViewerController)
public:
    void updateToolbar(bool animated);

protected:
    PLPhotoScrollerViewController() = default;
};
