#include "util/ZELAlert.h"

#include "runtime/Dispatch.h"
#include "util/Localization.h"

QX_DEFINE_CLASS(ZELAlert)
{
    b.classMethod("shared", [](Class cls) -> id { return ZELAlert::sharedOfClass(cls); });
    b.method<&ZELAlert::showAlertWithTitleMessage>("showAlertWithTitle:message:");
    b.method<&ZELAlert::showAlertWithTitleMessageCancelButtonTitle>("showAlertWithTitle:message:cancelButtonTitle:");
    b.method<&ZELAlert::alertViewClickedButtonAtIndex>("alertView:clickedButtonAtIndex:");
}

ZELAlert* ZELAlert::shared() { return objc::sendClass<ZELAlert*>(objcClass(), "shared"); }

ZELAlert* ZELAlert::sharedOfClass(Class cls)
{
    static dispatch_once_t once;
    static ZELAlert* shared = nullptr;
    dispatch_once(&once, [cls] { shared = objc_cast<ZELAlert>(objc::create(cls, "init").leak()); });
    return shared;
}

void ZELAlert::showAlertWithTitleMessage(NSString* title, NSString* message)
{
    objc::send(this, "showAlertWithTitle:message:cancelButtonTitle:", title, message, QXLocalizedString("确定"));
}

void ZELAlert::showAlertWithTitleMessageCancelButtonTitle(NSString* title, NSString* message, NSString* cancelButtonTitle)
{
    // The application holds a shown alert until its button closes it, so
    // this reference goes at the end of the call.
    auto alert = objc::create<UIAlertView>("initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:",
        title, message, this, cancelButtonTitle, static_cast<id>(nullptr));
    objc::send(alert, "show");
}
