#pragma once

#include "photolibrary/PLPhotoBrowserController.h"

// The application's own viewer for the older generation on a tablet. Its
// bar items come from `_navigationButtonItemsForMode:`: Share, a gap and the
// delete item (action "deleteImageClicked:"). A gap is an NSNull, which does
// not answer `action`; the bar shows it as a fixed space. The items are the
// navigation bar's right-hand items in list order (laid out, as those are,
// from the right edge inwards), with the close item on the left.
class WPhotoViewController : public PLPhotoBrowserController {
    QX_OBJECT(WPhotoViewController, PLPhotoBrowserController)
public:
    // The viewer has one mode, browsing; the argument is kept for the bar's sake.
    Ref<NSArray> navigationButtonItemsForMode(NSInteger mode);
    void rebuildBars();

protected:
    WPhotoViewController() = default;

private:
    NSInteger mode_ = 0;
};
