#include "viewer/WAlbumGridView.h"

#include "foundation/NSString.h"
#include "uikit/UISnapshot.h"

#include <algorithm>
#include <cmath>

QX_DEFINE_CLASS(WAlbumGridCell) { }

QX_DEFINE_CLASS(WAlbumGridView)
{
    b.method<&WAlbumGridView::cellTapped>("cellTapped:");
}

void WAlbumGridCell::describeElement(UIElement& element) const
{
    UIView::describeElement(element);
    element.state["index"] = index_;
}

WAlbumGridView* WAlbumGridView::initWithFrameNames(CGRect frame, std::vector<std::string> names)
{
    initWithFrame(frame);
    names_ = std::move(names);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    return this;
}

NSInteger WAlbumGridView::columns() const
{
    const auto fit = static_cast<NSInteger>(std::floor((frame().size.width + gap) / (minimumSide + gap)));
    return std::max(minimumColumns, fit);
}

CGFloat WAlbumGridView::side() const
{
    const NSInteger count = columns();
    return std::max<CGFloat>(0, (frame().size.width - gap * CGFloat(count - 1)) / CGFloat(count));
}

CGFloat WAlbumGridView::contentHeight() const
{
    const NSInteger rows = (static_cast<NSInteger>(names_.size()) + columns() - 1) / columns();
    return rows == 0 ? 0 : CGFloat(rows) * (side() + gap) - gap;
}

CGRect WAlbumGridView::cellFrame(NSInteger index) const
{
    const CGFloat step = side() + gap;
    const NSInteger row = index / columns();
    const NSInteger column = index % columns();
    return CGRectMake(CGFloat(column) * step, CGFloat(row) * step - offset_, side(), side());
}

void WAlbumGridView::setContentOffset(CGFloat offset)
{
    offset_ = std::clamp<CGFloat>(offset, 0, std::max<CGFloat>(0, contentHeight() - frame().size.height));
    layoutCells();
}

Ref<WAlbumGridCell> WAlbumGridView::dequeueCell()
{
    if (!pool_.empty()) {
        Ref<WAlbumGridCell> cell = pool_.back();
        pool_.pop_back();
        return cell;
    }
    ++made_;
    auto cell = objc::create<WAlbumGridCell>("init");
    cell->initWithFrame({});
    auto tap = objc::create<UITapGestureRecognizer>("init");
    tap->initWithTargetAction(this, sel_registerName("cellTapped:"));
    cell->addGestureRecognizer(tap.get());
    return cell;
}

void WAlbumGridView::layoutCells()
{
    // The offset may lie beyond the content after the size changed.
    offset_ = std::clamp<CGFloat>(offset_, 0, std::max<CGFloat>(0, contentHeight() - frame().size.height));
    const CGFloat step = side() + gap;
    const auto count = static_cast<NSInteger>(names_.size());
    NSInteger first = 0;
    NSInteger end = 0;
    if (step > gap && frame().size.height > 0) {
        const auto firstRow = static_cast<NSInteger>(std::floor(offset_ / step));
        const auto lastRow = static_cast<NSInteger>(std::floor((offset_ + frame().size.height - 0.001) / step));
        first = std::min(count, firstRow * columns());
        end = std::min(count, (lastRow + 1) * columns());
    }
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (it->first >= first && it->first < end) {
            ++it;
            continue;
        }
        it->second->removeFromSuperview();
        pool_.push_back(it->second);
        it = visible_.erase(it);
    }
    for (NSInteger index = first; index < end; ++index) {
        auto [entry, added] = visible_.try_emplace(index);
        if (added) {
            entry->second = dequeueCell();
            entry->second->setIndex(index);
            entry->second->setAccessibilityLabel(NSString::stringWithUTF8String(names_[size_t(index)]).get());
            addSubview(entry->second.get());
        }
        entry->second->setFrame(cellFrame(index));
    }
}

void WAlbumGridView::scrollToPhoto(NSInteger index)
{
    const CGFloat step = side() + gap;
    const CGFloat top = CGFloat(index / columns()) * step;
    if (top < offset_)
        setContentOffset(top);
    else if (top + side() > offset_ + frame().size.height)
        setContentOffset(top + side() - frame().size.height);
}

NSInteger WAlbumGridView::indexOfName(std::string_view name) const
{
    const auto found = std::find(names_.begin(), names_.end(), name);
    return found == names_.end() ? -1 : static_cast<NSInteger>(found - names_.begin());
}

void WAlbumGridView::cellTapped(UITapGestureRecognizer* recognizer)
{
    auto* cell = objc_cast<WAlbumGridCell>(recognizer->view());
    if (!cell || !delegate_.get())
        return;
    objc::send(delegate_.get(), "albumGrid:didSelectPhotoAtIndex:", this, cell->index());
}

void WAlbumGridView::describeElement(UIElement& element) const
{
    UIView::describeElement(element);
    element.state["count"] = names_.size();
    element.state["columns"] = columns();
    element.state["side"] = side();
    element.state["gap"] = gap;
    element.state["contentHeight"] = contentHeight();
    element.state["contentOffset"] = offset_;
    element.scrollTo = [weak = objc::WeakRef<WAlbumGridView>(const_cast<WAlbumGridView*>(this))](CGFloat offset) {
        auto* live = weak.get();
        if (!live)
            return CGFloat(0);
        Ref<WAlbumGridView> keep(live);
        live->setContentOffset(offset);
        return live->contentOffset();
    };
    // A photo off screen is brought into view before the driver looks again.
    element.reveal = [weak = objc::WeakRef<WAlbumGridView>(const_cast<WAlbumGridView*>(this))](std::string_view name) {
        auto* live = weak.get();
        const NSInteger index = live ? live->indexOfName(name) : -1;
        if (index < 0)
            return false;
        Ref<WAlbumGridView> keep(live);
        live->scrollToPhoto(index);
        return true;
    };
}
