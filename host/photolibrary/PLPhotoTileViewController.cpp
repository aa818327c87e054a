#include "photolibrary/PLPhotoTileViewController.h"

#include "foundation/NSString.h"
#include "uikit/UIApplication.h"
#include "uikit/UITapGestureRecognizer.h"

QX_DEFINE_CLASS(PLPhotoTileViewController)
{
    b.method<&PLPhotoTileViewController::setPhoto>("_setPhoto:");
    b.method<&PLPhotoTileViewController::photo>("photo");
    b.method<&PLPhotoTileViewController::loadView>("loadView");
    b.method<&PLPhotoTileViewController::viewDidLoad>("viewDidLoad");
    b.method<&PLPhotoTileViewController::viewDidLayoutSubviews>("viewDidLayoutSubviews");
    b.method<&PLPhotoTileViewController::viewDidUnload>("viewDidUnload");
    b.method<&PLPhotoTileViewController::handleSingleTap>("_handleSingleTap:");
    b.method("dealloc", [](PLPhotoTileViewController* self) { objc::sendSuper(self, "dealloc"); });
}

void PLPhotoTileViewController::setPhoto(NSObject* photo)
{
    photo_ = photo;
    if (isViewLoaded())
        showPhoto();
}

void PLPhotoTileViewController::loadView()
{
    auto view = UIView::viewWithFrame(UIScreenBounds());
    view->setBackgroundColor(UIColor::blackColor().get());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto tap = objc::create<UITapGestureRecognizer>("initWithTarget:action:", this, SEL("_handleSingleTap:"));
    objc::send(view, "addGestureRecognizer:", tap);
    setView(view);
}

void PLPhotoTileViewController::viewDidLoad() { showPhoto(); }

void PLPhotoTileViewController::handleSingleTap(id)
{
    static const SEL tapped("_tileWasTapped:");
    if (UIViewController* viewer = parentViewController(); viewer && viewer->respondsToSelector(tapped))
        objc::send(viewer, tapped, this);
}

// The pixels are not drawn here; the tile names the photo it shows, which is
// what a person reading the screen as text needs to tell tiles apart.
void PLPhotoTileViewController::showPhoto()
{
    NSString* name = nullptr;
    if (photo_ && photo_->respondsToSelector("filename"))
        name = objc::send<NSString*>(photo_, "filename");
    view()->setAccessibilityLabel(name);
}
