#pragma once

#include "uikit/UIApplication.h"

// The version 7 viewer's own popover controller. It answers as the toolkit's
// popover controller does; the viewer shows its share sheet in one.
class PUPopoverController : public UIPopoverController {
    QX_OBJECT(PUPopoverController, UIPopoverController)
protected:
    PUPopoverController() = default;
};
