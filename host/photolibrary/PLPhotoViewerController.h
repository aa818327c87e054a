#pragma once

#include "photolibrary/PhotoPager.h"

#include "runtime/WeakRef.h"
#include "uikit/UIApplication.h"

// What every full-screen viewer of this host does, whatever its generation:
// it shows a list of photos one at a time on tiles, pages between them,
// titles itself "2 of 5", removes a photo from the list on request (the file
// stays on disk), shares the photo's file, and tells its delegate when the
// person is done with it (`photoViewerDidFinish:`).
//
// Each generation's viewer is a subclass that owns its bars. Whenever the
// bars may need to change (the viewer appears, the photo changes, the list
// changes) the viewer sends itself `_rebuildBars`, and the subclass's answer
// sends the rebuild message of its own generation, so a library that
// replaces that message sees every rebuild.
//
// The viewer lays its photo out under its bars (`wantsFullScreenLayout`),
// so with the bars hidden the photo fills the screen.
class PLPhotoViewerController : public UIViewController {
    QX_OBJECT(PLPhotoViewerController, UIViewController)
public:
    PLPhotoViewerController* initWithPhotosCurrentIndex(NSArray* photos, NSInteger index);

    NSObject* currentAsset() const { return pager_.currentPhoto(); }
    NSInteger currentIndex() const { return pager_.currentIndex(); }
    NSUInteger photoCount() const { return pager_.count(); }
    // Pages to photo `index`; false for an index outside the list.
    bool showPhotoAtIndex(NSInteger index);

    id delegate() const { return delegate_.get(); }
    void setDelegate(id delegate) { delegate_ = delegate; }

    void loadView();
    void viewDidLoad();
    void viewWillAppear(bool animated);
    void viewWillDisappear(bool animated);
    void rebuildBars() { }

    // The bars (navigation bar, toolbar, status bar) hide on a single tap on
    // the photo and come back on the next, through the navigation
    // controller's and the application's own messages; their items stay, and
    // a rebuild while they are away (paging) is what they show when back.
    void tileWasTapped(id tile);
    bool barsHidden() const;
    void setBarsHiddenAnimated(bool hidden, bool animated);

    // Actions of the items the subclasses put in their bars.
    void closeViewer(id sender);
    void confirmRemoval(id sender);
    void shareFromItem(id sender);
    void alertViewClickedButtonAtIndex(UIAlertView* alert, NSInteger index);

    // Closes the share popover when it is showing; says whether it was.
    bool dismissSharePopover();
    // Closes every popover shown from one of this viewer's bar items (its
    // share sheet, or one a library presented from an item it put there),
    // as the platform's apps do before they present an alert of their own.
    void dismissPopoversFromBars();

protected:
    PLPhotoViewerController() = default;

    // The popover class this generation shows its share sheet in.
    virtual Class sharePopoverClass() const;
    // The bar item that closes the viewer, shared by the subclasses' bars.
    UIBarButtonItem* closeItem();

private:
    // The title, then the bars.
    void photoDidChange();

    photolibrary::PhotoPager pager_ { this };
    objc::WeakRef<NSObject> delegate_;
    Ref<NSObject> sharePopover_; // of sharePopoverClass()
    Ref<UIBarButtonItem> closeItem_;
};
