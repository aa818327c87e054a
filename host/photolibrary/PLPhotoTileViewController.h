#pragma once

#include "uikit/UIViewController.h"

// The controller of one photo tile in the full-screen viewers: a view as
// large as the device's screen (320 × 480 points on a phone, 768 × 1024 on
// a tablet) that shows the photo it was last given with `_setPhoto:`, and
// passes a single tap on it to its viewer.
//
// Its lifecycle methods are its own, so a library that replaces them on this
// class reaches tiles only. The viewers send every call here as a message.
class PLPhotoTileViewController : public UIViewController {
    QX_OBJECT(PLPhotoTileViewController, UIViewController)
public:
    // The photo shown, as given; nil until the first `_setPhoto:`.
    NSObject* photo() const { return photo_; }
    // `_setPhoto:`: keeps the photo and shows it when the view is loaded.
    void setPhoto(NSObject* photo);

    void loadView();
    void viewDidLoad();
    void viewDidLayoutSubviews() { }
    void viewDidUnload() { }
    // A single tap on the photo, from the view's tap recognizer: the tile
    // tells the viewer it belongs to (`_tileWasTapped:`).
    void handleSingleTap(id recognizer);

protected:
    PLPhotoTileViewController() = default;

private:
    void showPhoto();

    Ref<NSObject> photo_;
};
