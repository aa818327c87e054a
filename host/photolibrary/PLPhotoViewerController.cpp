#include "photolibrary/PLPhotoViewerController.h"

#include "photolibrary/DeviceKind.h"
#include "photolibrary/PLPhotoShareController.h"

#include "foundation/NSString.h"

#include <algorithm>

QX_DEFINE_CLASS(PLPhotoViewerController)
{
    b.method<&PLPhotoViewerController::initWithPhotosCurrentIndex>("initWithPhotos:currentIndex:");
    b.method<&PLPhotoViewerController::currentAsset>("currentAsset");
    b.method<&PLPhotoViewerController::currentIndex>("currentIndex");
    b.method<&PLPhotoViewerController::photoCount>("photoCount");
    b.method<&PLPhotoViewerController::showPhotoAtIndex>("showPhotoAtIndex:");
    b.property<&PLPhotoViewerController::delegate_>("delegate");
    b.method<&PLPhotoViewerController::loadView>("loadView");
    b.method<&PLPhotoViewerController::viewDidLoad>("viewDidLoad");
    b.method<&PLPhotoViewerController::viewWillAppear>("viewWillAppear:");
    b.method<&PLPhotoViewerController::viewWillDisappear>("viewWillDisappear:");
    b.method<&PLPhotoViewerController::tileWasTapped>("_tileWasTapped:");
    b.method<&PLPhotoViewerController::barsHidden>("_barsHidden");
    b.method<&PLPhotoViewerController::setBarsHiddenAnimated>("_setBarsHidden:animated:");
    b.method<&PLPhotoViewerController::rebuildBars>("_rebuildBars");
    b.method<&PLPhotoViewerController::closeViewer>("_closeViewer:");
    b.method<&PLPhotoViewerController::shareFromItem>("_shareFromItem:");
    b.method<&PLPhotoViewerController::alertViewClickedButtonAtIndex>("alertView:clickedButtonAtIndex:");
}

PLPhotoViewerController* PLPhotoViewerController::initWithPhotosCurrentIndex(NSArray* photos, NSInteger index)
{
    initWithNibNameBundle(nullptr, nullptr);
    setWantsFullScreenLayout(true);
    pager_.setPhotos(photos, index);
    return this;
}

void PLPhotoViewerController::loadView()
{
    auto view = UIView::viewWithFrame(UIScreenBounds());
    view->setBackgroundColor(UIColor::blackColor().get());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(view);
}

void PLPhotoViewerController::viewDidLoad() { pager_.showCurrentPhoto(); }

void PLPhotoViewerController::viewWillAppear(bool) { photoDidChange(); }

// The screen the viewer leaves for has its status bar back.
void PLPhotoViewerController::viewWillDisappear(bool animated)
{
    if (barsHidden())
        setBarsHiddenAnimated(false, animated);
}

void PLPhotoViewerController::tileWasTapped(id) { send("_setBarsHidden:animated:", !barsHidden(), true); }

bool PLPhotoViewerController::barsHidden() const
{
    return objc::send<bool>(send<UINavigationController*>("navigationController"), "isNavigationBarHidden");
}

void PLPhotoViewerController::setBarsHiddenAnimated(bool hidden, bool animated)
{
    auto* navigation = send<UINavigationController*>("navigationController");
    objc::send(navigation, "setNavigationBarHidden:animated:", hidden, animated);
    objc::send(navigation, "setToolbarHidden:animated:", hidden, animated);
    objc::send(UIApplication::sharedApplication(), "setStatusBarHidden:withAnimation:", hidden,
        NSInteger { animated ? UIStatusBarAnimationFade : UIStatusBarAnimationNone });
}

bool PLPhotoViewerController::showPhotoAtIndex(NSInteger index)
{
    if (!pager_.showPhotoAtIndex(index))
        return false;
    photoDidChange();
    return true;
}

void PLPhotoViewerController::photoDidChange()
{
    std::string title = std::to_string(pager_.currentIndex() + 1) + " of " + std::to_string(pager_.count());
    setTitle(NSString::stringWithUTF8String(title).get());
    send("_rebuildBars");
}

UIBarButtonItem* PLPhotoViewerController::closeItem()
{
    if (!closeItem_)
        closeItem_ = UIBarButtonItem::itemWithTitle("Photos"_ns.get(), UIBarButtonItemStyleBordered, this, "_closeViewer:");
    return closeItem_;
}

void PLPhotoViewerController::closeViewer(id)
{
    static const SEL finished("photoViewerDidFinish:");
    if (id target = delegate_.get(); target && target->respondsToSelector(finished))
        objc::send(target, finished, this);
}

void PLPhotoViewerController::confirmRemoval(id)
{
    auto alert = objc::create<UIAlertView>("initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:",
        "Remove Photo"_ns, "The photo leaves this viewer; its file stays on disk."_ns, this, "Cancel"_ns,
        NSArray::arrayWithObjects({ "Remove"_ns }));
    alert->show();
}

void PLPhotoViewerController::alertViewClickedButtonAtIndex(UIAlertView*, NSInteger index)
{
    if (index != 1)
        return;
    Ref<PLPhotoViewerController> keep(this);
    pager_.removeCurrentPhoto();
    if (pager_.count() == 0) {
        closeViewer(nullptr);
        return;
    }
    pager_.showCurrentPhoto();
    photoDidChange();
}

Class PLPhotoViewerController::sharePopoverClass() const { return UIPopoverController::objcClass(); }

bool PLPhotoViewerController::dismissSharePopover()
{
    if (!sharePopover_ || !objc::send<bool>(sharePopover_, "isPopoverVisible"))
        return false;
    objc::send(sharePopover_, "dismissPopoverAnimated:", true);
    return true;
}

void PLPhotoViewerController::dismissPopoversFromBars()
{
    std::vector<const UIBarButtonItem*> items;
    UINavigationItem* bar = navigationItem();
    items.push_back(bar->leftBarButtonItem());
    for (const auto& item : bar->rightItems())
        items.push_back(item.get());
    if (NSArray* tools = toolbarItems()) {
        for (const auto& item : *tools)
            items.push_back(objc_cast<UIBarButtonItem>(item.get()));
    }
    // Closing one may release it (its owner lets go): each is held meanwhile.
    std::vector<Ref<UIPopoverController>> shown;
    for (UIPopoverController* popover : UIApplication::sharedApplication()->visiblePopovers()) {
        if (popover->anchorItem() && std::find(items.begin(), items.end(), popover->anchorItem()) != items.end())
            shown.emplace_back(popover);
    }
    for (const auto& popover : shown)
        objc::send(popover, "dismissPopoverAnimated:", true);
}

void PLPhotoViewerController::shareFromItem(id sender)
{
    auto sheet = objc::create<PLPhotoShareController>("initWithPhoto:", currentAsset());
    auto navigation = objc::create<UINavigationController>("initWithRootViewController:", sheet.get());
    if (!photolibrary::deviceIsTablet()) {
        sheet->navigationItem()->setLeftBarButtonItem(
            UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemCancel, sheet.get(), "cancel:").get());
        send("presentModalViewController:animated:", navigation, true);
        return;
    }
    // A second tap on Share closes the sheet, as a popover's own button does.
    if (dismissSharePopover())
        return;
    sharePopover_ = objc::create(sharePopoverClass(), "initWithContentViewController:", navigation.get());
    objc::send(sharePopover_, "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:",
        objc_cast<UIBarButtonItem>(sender), UIPopoverArrowDirectionAny, true);
}
