#pragma once

#include "viewer/WAlbumGridView.h"

#include "uikit/UIViewController.h"

#include <string>
#include <vector>

// The album the viewer opens from: every photo as a square thumbnail in a
// scrolling grid (WAlbumGridView). A tap on a thumbnail sends
// `albumViewController:didSelectPhotoAtIndex:` to the delegate, which opens
// the photo; the bar's Places item sends it `albumViewControllerShowPlaces:`.
class WAlbumViewController : public UIViewController {
    QX_OBJECT(WAlbumViewController, UIViewController)
public:
    WAlbumViewController* initWithNames(std::vector<std::string> names);

    NSObject* delegate() const { return delegate_.get(); }
    void setDelegate(NSObject* delegate) { delegate_ = delegate; }

    void viewDidLoad();
    void viewDidLayoutSubviews();
    // The grid's delegate message.
    void albumGridDidSelectPhotoAtIndex(WAlbumGridView* grid, NSInteger index);
    // The bar's Places item: the photos on a map.
    void showPlaces(id sender);

    // The grid, made with the view.
    WAlbumGridView* grid() const { return grid_.get(); }

protected:
    WAlbumViewController() = default;

private:
    std::vector<std::string> names_;
    objc::WeakRef<NSObject> delegate_;
    Ref<WAlbumGridView> grid_;
};
