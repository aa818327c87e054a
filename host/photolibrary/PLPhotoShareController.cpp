#include "photolibrary/PLPhotoShareController.h"

#include "foundation/NSString.h"
#include "uikit/UIApplication.h"
#include "uikit/UIControl.h"

QX_DEFINE_CLASS(PLPhotoShareController)
{
    b.method<&PLPhotoShareController::initWithPhoto>("initWithPhoto:");
    b.method<&PLPhotoShareController::viewDidLoad>("viewDidLoad");
    b.method<&PLPhotoShareController::copyFilePath>("copyFilePath:");
    b.method<&PLPhotoShareController::cancel>("cancel:");
}

PLPhotoShareController* PLPhotoShareController::initWithPhoto(NSObject* photo)
{
    initWithNibNameBundle(nullptr, nullptr);
    photo_ = photo;
    setTitle("Share"_ns.get());
    setContentSizeForViewInPopover(CGSizeMake(popoverWidth, popoverHeight));
    return this;
}

void PLPhotoShareController::viewDidLoad()
{
    UIView* root = view();
    auto copy = UIButton::buttonWithType(UIButtonTypeRoundedRect);
    copy->setTitle("Copy File Path"_ns.get());
    copy->setFrame(CGRectMake(20, 20, root->bounds().size.width - 40, 44));
    copy->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    copy->addTargetActionForControlEvents(this, "copyFilePath:", UIControlEventTouchUpInside);
    root->addSubview(copy);
}

void PLPhotoShareController::copyFilePath(id)
{
    Ref<PLPhotoShareController> keep(this);
    if (photo_ && photo_->respondsToSelector("pathForImageFile")) {
        if (NSString* path = objc::send<NSString*>(photo_, "pathForImageFile"))
            UIPasteboard::generalPasteboard()->setString(path);
    }
    close();
}

void PLPhotoShareController::cancel(id) { close(); }

void PLPhotoShareController::close()
{
    UINavigationController* navigation = navigationController();
    if (UIPopoverController* popover = navigation ? navigation->popoverController() : nullptr) {
        popover->dismissPopoverAnimated(true);
        return;
    }
    objc::send(navigation ? static_cast<UIViewController*>(navigation) : this, "dismissModalViewControllerAnimated:", true);
}
