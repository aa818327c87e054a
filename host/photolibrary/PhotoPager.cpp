#include "photolibrary/PhotoPager.h"

#include "photolibrary/PLPhotoTileViewController.h"

#include <algorithm>

namespace photolibrary {

void PhotoPager::setPhotos(const NSArray* photos, NSInteger index)
{
    photos_.clear();
    if (photos) {
        for (const auto& photo : *photos)
            photos_.push_back(photo);
    }
    index_ = std::clamp<NSInteger>(index, 0, std::max<NSInteger>(0, static_cast<NSInteger>(photos_.size()) - 1));
}

NSObject* PhotoPager::currentPhoto() const
{
    if (index_ < 0 || static_cast<size_t>(index_) >= photos_.size())
        return nullptr;
    return photos_[static_cast<size_t>(index_)];
}

UIViewController* PhotoPager::tileForIndex(NSInteger index) const
{
    for (const auto& tile : tiles_) {
        if (tile.index == index)
            return tile.controller;
    }
    return nullptr;
}

PhotoPager::Tile PhotoPager::takeTile(std::vector<Tile>& spare)
{
    if (!spare.empty()) {
        Tile tile = std::move(spare.back());
        spare.pop_back();
        return tile;
    }
    Tile tile;
    tile.controller = objc::create<PLPhotoTileViewController>("init");
    viewer_->addChildViewController(tile.controller);
    return tile;
}

bool PhotoPager::showPhotoAtIndex(NSInteger index)
{
    const auto count = static_cast<NSInteger>(photos_.size());
    if (index < 0 || index >= count)
        return false;
    index_ = index;
    // Tiles go into the viewer's view; until it loads (and shows the
    // current photo itself) only the index moves.
    if (!viewer_->isViewLoaded())
        return true;

    // The current photo first, so it is given its tile before the neighbours.
    std::vector<NSInteger> wanted { index };
    if (index > 0)
        wanted.push_back(index - 1);
    if (index + 1 < count)
        wanted.push_back(index + 1);

    std::vector<Tile> kept;
    std::vector<Tile> spare;
    for (auto& tile : tiles_) {
        if (std::find(wanted.begin(), wanted.end(), tile.index) != wanted.end())
            kept.push_back(std::move(tile));
        else
            spare.push_back(std::move(tile));
    }
    tiles_.clear();

    for (NSInteger want : wanted) {
        auto found = std::find_if(kept.begin(), kept.end(), [want](const Tile& tile) { return tile.index == want; });
        Tile tile = found != kept.end() ? std::move(*found) : takeTile(spare);
        tile.index = want;
        NSObject* photo = photos_[static_cast<size_t>(want)];
        // A tile is given its photo when it is new to it, and again when a
        // memory warning took its view, so the reloaded view shows it.
        if (tile.photo.get() != photo || !tile.controller->isViewLoaded()) {
            tile.photo = photo;
            objc::send(tile.controller, "_setPhoto:", photo);
        }
        objc::send<UIView*>(tile.controller, "view");
        tiles_.push_back(std::move(tile));
    }
    for (auto& tile : spare) {
        if (tile.controller->isViewLoaded())
            tile.controller->view()->removeFromSuperview();
        tile.controller->removeFromParentViewController();
    }

    UIView* container = viewer_->view();
    UIViewController* current = tiles_.front().controller;
    UIView* shown = objc::send<UIView*>(current, "view");
    for (const auto& tile : tiles_) {
        if (tile.controller.get() != current && tile.controller->isViewLoaded())
            tile.controller->view()->removeFromSuperview();
    }
    if (shown->superview() != container) {
        shown->setFrame(container->bounds());
        container->insertSubviewAtIndex(shown, 0);
        // The toolkit sends the tile viewDidLayoutSubviews at its next layout pass.
        current->setNeedsLayout(true);
    }
    return true;
}

void PhotoPager::removeCurrentPhoto()
{
    if (photos_.empty())
        return;
    photos_.erase(photos_.begin() + index_);
    // Tiles are keyed by index: those after the removed photo move down one.
    for (auto& tile : tiles_) {
        if (tile.index == index_)
            tile.index = -1;
        else if (tile.index > index_)
            --tile.index;
    }
    if (index_ >= static_cast<NSInteger>(photos_.size()))
        index_ = std::max<NSInteger>(0, static_cast<NSInteger>(photos_.size()) - 1);
}

} // namespace photolibrary
