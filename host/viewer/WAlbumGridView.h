#pragma once

#include "uikit/UIView.h"

#include <map>
#include <string>
#include <vector>

// One square of the album: the thumbnail of photo `index`, named by its
// file name. A tap on it reaches the grid.
class WAlbumGridCell : public UIView {
    QX_OBJECT(WAlbumGridCell, UIView)
public:
    NSInteger index() const { return index_; }
    void setIndex(NSInteger index) { index_ = index; }

    std::string role() const override { return "thumbnail"; }
    void describeElement(UIElement& element) const override;

protected:
    WAlbumGridCell() = default;

private:
    NSInteger index_ = -1;
};

// The album's photos as a grid of square thumbnails with 1-point gaps, as
// the platform's Photos album shows them: 4 columns on a phone, as many
// more as fit on a wider screen. It scrolls, and only the cells on screen
// exist: cells that scroll away go back to a pool and are reused, so an
// album of any size costs a screenful of cells.
//
// A tap on a cell sends `albumGrid:didSelectPhotoAtIndex:` to the delegate.
class WAlbumGridView : public UIView {
    QX_OBJECT(WAlbumGridView, UIView)
public:
    static constexpr CGFloat gap = 1;
    // A cell is at least this wide: 4 columns on a 320-point phone.
    static constexpr CGFloat minimumSide = 78;
    static constexpr NSInteger minimumColumns = 4;

    WAlbumGridView* initWithFrameNames(CGRect frame, std::vector<std::string> names);

    NSObject* delegate() const { return delegate_.get(); }
    void setDelegate(NSObject* delegate) { delegate_ = delegate; }

    const std::vector<std::string>& names() const { return names_; }
    NSInteger columns() const;
    CGFloat side() const;
    CGFloat contentHeight() const;
    CGFloat contentOffset() const { return offset_; }
    // Scrolls to `offset` (kept within the content) and lays out the cells.
    void setContentOffset(CGFloat offset);
    // Puts the cells on screen for the current size and offset.
    void layoutCells();
    // Scrolls as little as brings photo `index` whole into view.
    void scrollToPhoto(NSInteger index);
    // The first photo named `name`, or -1.
    NSInteger indexOfName(std::string_view name) const;

    const std::map<NSInteger, Ref<WAlbumGridCell>>& visibleCells() const { return visible_; }
    // Every cell made so far, on screen or in the pool.
    size_t madeCellCount() const { return made_; }

    // The recognizer's action: the cell it sits on was tapped.
    void cellTapped(UITapGestureRecognizer* recognizer);

    std::string role() const override { return "grid"; }
    void describeElement(UIElement& element) const override;

protected:
    WAlbumGridView() = default;

private:
    CGRect cellFrame(NSInteger index) const;
    Ref<WAlbumGridCell> dequeueCell();

    std::vector<std::string> names_;
    objc::WeakRef<NSObject> delegate_;
    CGFloat offset_ = 0;
    std::map<NSInteger, Ref<WAlbumGridCell>> visible_;
    std::vector<Ref<WAlbumGridCell>> pool_;
    size_t made_ = 0;
};
