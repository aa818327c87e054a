#pragma once

#include "foundation/NSString.h"
#include "uikit/UIApplication.h"

// The process-wide presenter of one-button notices: a title, a message and
// one button that closes the notice. It is the notices' delegate and does
// nothing when the button is tapped; the application keeps a shown notice
// alive until it closes.
class ZELAlert : public NSObject {
    QX_OBJECT(ZELAlert, NSObject)
public:
    // Made on the first call, by the receiving class, and never destroyed.
    static ZELAlert* shared();
    static ZELAlert* sharedOfClass(Class cls);

    // The button reads the localized "确定".
    void showAlertWithTitleMessage(NSString* title, NSString* message);
    void showAlertWithTitleMessageCancelButtonTitle(NSString* title, NSString* message, NSString* cancelButtonTitle);
    void alertViewClickedButtonAtIndex(UIAlertView*, NSInteger) { }

protected:
    ZELAlert() = default;
};
