#pragma once

#include "foundation/NSArray.h"
#include "uikit/UIViewController.h"

#include <vector>

namespace photolibrary {

// The tiles of a full-screen viewer. The photo on screen and its two
// neighbours each have a tile controller, a child of the viewer, whose view
// is loaded ahead so paging is instant; only the current tile's view is in
// the viewer's view. Paging hands a tile that falls out of that window to the
// photo coming into it, as a scroller reuses its tiles.
//
// Every call to a tile is a message (`_setPhoto:`, `view`), so a library that
// replaces a tile method sees each one.
class PhotoPager {
public:
    // The viewer owns the pager; the pager keeps a plain pointer back.
    explicit PhotoPager(UIViewController* viewer)
        : viewer_(viewer)
    {
    }

    void setPhotos(const NSArray* photos, NSInteger index);
    NSUInteger count() const { return photos_.size(); }
    NSInteger currentIndex() const { return index_; }
    NSObject* currentPhoto() const;

    // Moves to photo `index` and shows it (once the viewer's view is
    // loaded); false, with nothing changed, for an index outside the photos.
    bool showPhotoAtIndex(NSInteger index);
    // Shows the current photo again: after the viewer's view has loaded, and
    // to bring back a tile whose view a memory warning unloaded.
    void showCurrentPhoto() { showPhotoAtIndex(index_); }
    // Drops the current photo from the list; its successor (or, at the end,
    // its predecessor) becomes current. The viewer shows it.
    void removeCurrentPhoto();

    // The tile showing photo `index`, if it has one.
    UIViewController* tileForIndex(NSInteger index) const;

private:
    struct Tile {
        NSInteger index = -1;
        Ref<UIViewController> controller;
        Ref<NSObject> photo; // the photo it was last given
    };
    Tile takeTile(std::vector<Tile>& spare);

    UIViewController* viewer_;
    std::vector<Ref<NSObject>> photos_;
    NSInteger index_ = 0;
    std::vector<Tile> tiles_;
};

} // namespace photolibrary
