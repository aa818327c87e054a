#pragma once

#include "runtime/ClassDefinition.h"
#include "uikit/UIViewController.h"

#include <memory>
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
class WPlacesViewController;
namespace places {
class PlaceClusters;
}

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
    // Shows the album's Places screen over the album (when it is not shown
    // already) and answers it. The photos' positions are read the first
    // time and kept.
    WPlacesViewController* showPlaces();
    // The Places screen on top of the album, or nil.
    WPlacesViewController* shownPlaces() const;

    // Pages the open viewer by `step` photos; returns the new index.
    NSInteger page(NSInteger step);
    NSInteger currentIndex() const;
    // How many photos the open viewer holds (fewer than the application's
    // once it removed some).
    NSUInteger viewerPhotoCount() const;
    // Which of the application's photos (counted from 0 in the order it was
    // given them) the open viewer shows; none when no viewer is open. Unlike
    // currentIndex it does not shift when the viewer removes a photo.
    std::optional<NSUInteger> shownPhoto() const;

    // The viewer's delegate message: the person closed it, or removed its last photo.
    void photoViewerDidFinish(id viewer);
    // The album's delegate message: the person tapped a photo's thumbnail.
    void albumViewControllerDidSelectPhotoAtIndex(WAlbumViewController* album, NSInteger index);
    void albumViewControllerShowPlaces(WAlbumViewController* album);
    // The Places screen's delegate message: the person tapped a single photo on the map.
    void placesViewControllerDidSelectPhotoAtIndex(WPlacesViewController* places, NSInteger index);

protected:
    WPhotosAppController() = default;

private:
    Class viewerClass_ = nullptr;
    Ref<NSArray> photos_;
    Ref<UINavigationController> album_;
    std::vector<std::string> names_;
    std::shared_ptr<const places::PlaceClusters> places_;
    objc::WeakRef<UIViewController> viewer_;
};
