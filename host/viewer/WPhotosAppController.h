#pragma once

#include "runtime/ClassDefinition.h"
#include "uikit/UIViewController.h"

#include <optional>
#include <string>
#include <vector>

class WAlbumViewController;

// The application: its photos, the album it starts from and the full-screen
// viewer of its generation, opened on one photo and closed again. The viewer
// class is found by name, as the generation's framework provides it.
//
// Only the window holds the open viewer (through the navigation controller
// it is shown in), so closing it releases the viewer controller (and
// everything a library hung on it).
class WPhotosAppController : public NSObject {
    QX_OBJECT(WPhotosAppController, NSObject)
public:
    // `viewerClass` is the generation's viewer; `paths` the photos' files.
    WPhotosAppController* initWithViewerClassPaths(Class viewerClass, const std::vector<std::string>& paths);

    // Shows the album in the window.
    void start();

    bool isViewerOpen() const { return viewer_.get() != nullptr; }
    NSUInteger photoCount() const;
    // The viewer on screen, or nil.
    UIViewController* viewer() const { return viewer_.get(); }

    // Each throws viewer::CommandError, with what a person would be told,
    // when it cannot be done.
    void openViewer(NSInteger index);
    void closeViewer();
    // Scrolls the album (on screen: no viewer open) to `points` from its
    // top, as far as it goes; returns where it stopped.
    double scrollAlbum(double points);
    // Pages the open viewer by `step` photos; returns the new index.
    NSInteger page(NSInteger step);
    NSInteger currentIndex() const;
    // Which of the application's photos (counted from 0 in the order it was
    // given them) the open viewer shows; none when no viewer is open. Unlike
    // currentIndex it does not shift when the viewer removes a photo.
    std::optional<NSUInteger> shownPhoto() const;

    // The viewer's delegate message: the person closed it, or removed its last photo.
    void photoViewerDidFinish(id viewer);
    // The album's delegate message: the person tapped a photo's thumbnail.
    void albumViewControllerDidSelectPhotoAtIndex(WAlbumViewController* album, NSInteger index);

protected:
    WPhotosAppController() = default;

private:
    Class viewerClass_ = nullptr;
    Ref<NSArray> photos_;
    Ref<UINavigationController> album_;
    objc::WeakRef<UIViewController> viewer_;
};
