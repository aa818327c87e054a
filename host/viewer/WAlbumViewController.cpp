#include "viewer/WAlbumViewController.h"

#include "foundation/NSString.h"

QX_DEFINE_CLASS(WAlbumViewController)
{
    b.method<&WAlbumViewController::viewDidLoad>("viewDidLoad");
    b.method<&WAlbumViewController::viewDidLayoutSubviews>("viewDidLayoutSubviews");
    b.method<&WAlbumViewController::albumGridDidSelectPhotoAtIndex>("albumGrid:didSelectPhotoAtIndex:");
    b.method<&WAlbumViewController::showPlaces>("showPlaces:");
}

WAlbumViewController* WAlbumViewController::initWithNames(std::vector<std::string> names)
{
    initWithNibNameBundle(nullptr, nullptr);
    names_ = std::move(names);
    setTitle("Photos"_ns.get());
    navigationItem()->setRightBarButtonItem(
        UIBarButtonItem::itemWithTitle("Places"_ns.get(), UIBarButtonItemStyleBordered, this, sel_registerName("showPlaces:")).get());
    return this;
}

void WAlbumViewController::viewDidLoad()
{
    UIView* root = view();
    grid_ = objc::create<WAlbumGridView>("init");
    grid_->initWithFrameNames(root->bounds(), names_);
    grid_->setBackgroundColor(UIColor::whiteColor().get());
    grid_->setDelegate(this);
    root->addSubview(grid_.get());
}

void WAlbumViewController::viewDidLayoutSubviews()
{
    if (!grid_)
        return;
    grid_->setFrame(view()->bounds());
    grid_->layoutCells();
}

void WAlbumViewController::albumGridDidSelectPhotoAtIndex(WAlbumGridView*, NSInteger index)
{
    if (auto* delegate = delegate_.get())
        objc::send(delegate, "albumViewController:didSelectPhotoAtIndex:", this, index);
}

void WAlbumViewController::showPlaces(id)
{
    if (auto* delegate = delegate_.get())
        objc::send(delegate, "albumViewControllerShowPlaces:", this);
}
