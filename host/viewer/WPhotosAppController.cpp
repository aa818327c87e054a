#include "viewer/WPhotosAppController.h"

#include "viewer/CommandError.h"
#include "viewer/WAlbumViewController.h"
#include "viewer/places/PhotoPositions.h"
#include "viewer/places/WPlacesViewController.h"

#include "photolibrary/PLManagedAsset.h"
#include "foundation/NSArray.h"
#include "foundation/NSRunLoop.h"
#include "uikit/UIApplication.h"

#include <filesystem>

QX_DEFINE_CLASS(WPhotosAppController)
{
    b.method<&WPhotosAppController::photoViewerDidFinish>("photoViewerDidFinish:");
    b.method<&WPhotosAppController::albumViewControllerDidSelectPhotoAtIndex>("albumViewController:didSelectPhotoAtIndex:");
    b.method<&WPhotosAppController::albumViewControllerShowPlaces>("albumViewControllerShowPlaces:");
    b.method<&WPhotosAppController::placesViewControllerDidSelectPhotoAtIndex>("placesViewController:didSelectPhotoAtIndex:");
}

namespace {

std::string countText(NSInteger index, NSUInteger count) { return std::to_string(index + 1) + " of " + std::to_string(count); }

} // namespace

WPhotosAppController* WPhotosAppController::initWithViewerClassPaths(Class viewerClass, const std::vector<std::string>& paths)
{
    viewerClass_ = viewerClass;
    auto photos = NSMutableArray::array();
    std::vector<std::string> names;
    for (const auto& path : paths) {
        photos->addObject(PLManagedAsset::assetWithPath(path));
        names.push_back(std::filesystem::path(path).filename().string());
    }
    photos_ = photos;
    names_ = names;
    auto album = objc::create<WAlbumViewController>("init");
    album->initWithNames(std::move(names));
    album->setDelegate(this);
    album_ = objc::create<UINavigationController>("initWithRootViewController:", album.get());
    return this;
}

void WPhotosAppController::start() { UIApplication::sharedApplication()->setRootViewController(album_); }

NSUInteger WPhotosAppController::photoCount() const { return photos_->count(); }

void WPhotosAppController::albumViewControllerDidSelectPhotoAtIndex(WAlbumViewController*, NSInteger index) { openViewer(index); }

void WPhotosAppController::albumViewControllerShowPlaces(WAlbumViewController*) { showPlaces(); }

void WPhotosAppController::placesViewControllerDidSelectPhotoAtIndex(WPlacesViewController*, NSInteger index) { openViewer(index); }

void WPhotosAppController::openViewer(NSInteger index)
{
    if (isViewerOpen())
        throw viewer::CommandError("the viewer is already open; close it first");
    const auto count = static_cast<NSInteger>(photos_->count());
    if (index < 0 || index >= count)
        throw viewer::CommandError("no photo " + std::to_string(index) + ": the photos are numbered 0 to " + std::to_string(count - 1));
    auto controller = objc::create(viewerClass_, "initWithPhotos:currentIndex:", photos_.get(), index);
    auto* viewer = objc_cast<UIViewController>(controller.get());
    if (!viewer)
        throw viewer::CommandError(std::string("the viewer class ") + class_getName(viewerClass_) + " makes no screen");
    objc::send(viewer, "setDelegate:", this);
    viewer_ = viewer;
    // The viewer's bars are its navigation controller's, which it hides and shows.
    auto navigation = objc::create<UINavigationController>("initWithRootViewController:", viewer);
    UIApplication::sharedApplication()->setRootViewController(navigation);
}

void WPhotosAppController::closeViewer()
{
    UIViewController* viewer = viewer_.get();
    if (!viewer)
        throw viewer::CommandError("no viewer is open");
    auto* app = UIApplication::sharedApplication();
    // What the viewer showed over itself goes with it.
    for (UIPopoverController* popover : app->visiblePopovers())
        objc::send(popover, "dismissPopoverAnimated:", false);
    if (UIViewController* shown = app->rootViewController(); shown && shown->presentedViewController())
        objc::send(shown, "dismissModalViewControllerAnimated:", false);
    app->setRootViewController(album_);
}

NSInteger WPhotosAppController::currentIndex() const
{
    UIViewController* viewer = viewer_.get();
    if (!viewer)
        throw viewer::CommandError("no viewer is open");
    return objc::send<NSInteger>(viewer, "currentIndex");
}

NSUInteger WPhotosAppController::viewerPhotoCount() const
{
    UIViewController* viewer = viewer_.get();
    if (!viewer)
        throw viewer::CommandError("no viewer is open");
    return objc::send<NSUInteger>(viewer, "photoCount");
}

std::optional<NSUInteger> WPhotosAppController::shownPhoto() const
{
    UIViewController* viewer = viewer_.get();
    if (!viewer || !viewer->respondsToSelector(sel_registerName("currentAsset")))
        return std::nullopt;
    return photos_->indexOfObjectIdenticalTo(objc::send<NSObject*>(viewer, "currentAsset"));
}

WPlacesViewController* WPhotosAppController::shownPlaces() const
{
    return isViewerOpen() ? nullptr : objc_cast<WPlacesViewController>(album_->topViewController());
}

WPlacesViewController* WPhotosAppController::showPlaces()
{
    if (isViewerOpen())
        throw viewer::CommandError("the album is not on screen: the viewer is open; close it first");
    if (auto* shown = shownPlaces())
        return shown;
    if (!places_)
        places_ = std::make_shared<places::PlaceClusters>(places::positionsOfAssets(*photos_));
    auto controller = objc::create<WPlacesViewController>("init");
    controller->initWithClustersNames(places_, names_);
    controller->setDelegate(this);
    album_->pushViewControllerAnimated(controller.get(), false);
    return controller.get();
}

NSInteger WPhotosAppController::page(NSInteger step)
{
    UIViewController* viewer = viewer_.get();
    if (!viewer)
        throw viewer::CommandError("no viewer is open");
    const NSInteger index = objc::send<NSInteger>(viewer, "currentIndex");
    const auto count = static_cast<NSUInteger>(objc::send<NSUInteger>(viewer, "photoCount"));
    const NSInteger target = index + step;
    if (!objc::send<bool>(viewer, "showPhotoAtIndex:", target)) {
        throw viewer::CommandError(std::string(step > 0 ? "already at the last photo" : "already at the first photo")
            + " (" + countText(index, count) + ")");
    }
    return target;
}

void WPhotosAppController::photoViewerDidFinish(id viewer)
{
    if (!viewer || viewer != viewer_.get())
        return;
    // The viewer is in the middle of its own action; it goes once that returns.
    NSRunLoop::mainRunLoop().perform([app = Ref<WPhotosAppController>(this)] {
        if (app->isViewerOpen())
            app->closeViewer();
    });
}
