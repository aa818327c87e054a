#include "uikit/UIView.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "uikit/UITapGestureRecognizer.h"

#include <algorithm>

QX_DEFINE_CLASS(UIView)
{
    b.property<&UIView::frame_, &UIView::setFrame>("frame");
    b.method<&UIView::bounds>("bounds");
    b.property<&UIView::tag_>("tag");
    b.property<&UIView::hidden_>("hidden");
    b.method<&UIView::isHidden>("isHidden");
    b.property<&UIView::autoresizingMask_>("autoresizingMask");
    b.property<&UIView::backgroundColor_>("backgroundColor", objc::Copy);
    b.property<&UIView::accessibilityLabel_>("accessibilityLabel", objc::Copy);
    b.property<&UIView::userInteractionEnabled_>("userInteractionEnabled");
    b.method<&UIView::initWithFrame>("initWithFrame:");
    b.method<&UIView::superview>("superview");
    b.method<&UIView::addSubview>("addSubview:");
    b.method<&UIView::removeFromSuperview>("removeFromSuperview");
    b.method<&UIView::bringSubviewToFront>("bringSubviewToFront:");
    b.method<&UIView::viewWithTag>("viewWithTag:");
    b.method<&UIView::addGestureRecognizer>("addGestureRecognizer:");
    b.method<&UIView::removeGestureRecognizer>("removeGestureRecognizer:");
    b.method("gestureRecognizers", [](UIView* self) {
        auto list = NSMutableArray::array();
        for (const auto& recognizer : self->gestureRecognizers())
            list->addObject(recognizer);
        return list;
    });
    b.method("subviews", [](UIView* self) {
        auto list = NSMutableArray::array();
        for (const auto& view : self->subviews())
            list->addObject(view);
        return list;
    });
}

QX_DEFINE_CLASS(UILabel)
{
    b.property<&UILabel::text_>("text", objc::Copy);
    b.property<&UILabel::textColor_>("textColor");
    b.property<&UILabel::font_>("font");
    b.property<&UILabel::textAlignment_>("textAlignment");
    b.property<&UILabel::adjustsFontSizeToFitWidth_>("adjustsFontSizeToFitWidth");
    b.property<&UILabel::minimumFontSize_>("minimumFontSize");
}

Ref<UIView> UIView::viewWithFrame(CGRect frame)
{
    auto view = make_object<UIView>();
    view->frame_ = frame;
    return view;
}

UIView::~UIView()
{
    // Children outlive their parent only if someone else holds them; their
    // back pointer must not dangle either way.
    auto children = std::move(subviews_);
    for (auto& child : children)
        child->superview_ = nullptr;
}

UIView* UIView::initWithFrame(CGRect frame)
{
    frame_ = frame;
    return this;
}

void UIView::setFrame(CGRect frame)
{
    CGSize oldSize = frame_.size;
    frame_ = frame;
    if (oldSize != frame.size)
        resizeSubviews(oldSize);
}

void UIView::resizeSubviews(CGSize oldSize)
{
    const CGFloat dw = frame_.size.width - oldSize.width;
    const CGFloat dh = frame_.size.height - oldSize.height;
    // Each dimension's change is shared among its flexible parts (the left
    // margin, the width and the right margin; the same vertically) in
    // proportion to their lengths, so a view filling its parent keeps filling
    // it. Parts that all measure nothing share the change evenly.
    auto share = [](CGFloat delta, bool before, bool size, bool after, CGFloat oldParent, CGFloat& origin, CGFloat& length) {
        int parts = (before ? 1 : 0) + (size ? 1 : 0) + (after ? 1 : 0);
        if (parts == 0)
            return;
        const CGFloat leading = before ? std::max<CGFloat>(origin, 0) : 0;
        const CGFloat middle = size ? std::max<CGFloat>(length, 0) : 0;
        const CGFloat trailing = after ? std::max<CGFloat>(oldParent - origin - length, 0) : 0;
        const CGFloat total = leading + middle + trailing;
        if (total <= 0) {
            const CGFloat piece = delta / parts;
            if (before)
                origin += piece;
            if (size)
                length += piece;
            return;
        }
        origin += delta * leading / total;
        length += delta * middle / total;
    };
    for (auto& child : subviews_) {
        NSUInteger mask = child->autoresizingMask_;
        if (mask == UIViewAutoresizingNone)
            continue;
        CGRect f = child->frame_;
        share(dw, mask & UIViewAutoresizingFlexibleLeftMargin, mask & UIViewAutoresizingFlexibleWidth,
            mask & UIViewAutoresizingFlexibleRightMargin, oldSize.width, f.origin.x, f.size.width);
        share(dh, mask & UIViewAutoresizingFlexibleTopMargin, mask & UIViewAutoresizingFlexibleHeight,
            mask & UIViewAutoresizingFlexibleBottomMargin, oldSize.height, f.origin.y, f.size.height);
        child->setFrame(f);
    }
}

void UIView::addGestureRecognizer(UITapGestureRecognizer* recognizer)
{
    if (!recognizer || recognizer->view() == this)
        return;
    if (UIView* previous = recognizer->view())
        previous->removeGestureRecognizer(recognizer);
    recognizers_.emplace_back(recognizer);
    recognizer->setView(this);
}

void UIView::removeGestureRecognizer(UITapGestureRecognizer* recognizer)
{
    if (!recognizer || recognizer->view() != this)
        return;
    recognizer->setView(nullptr);
    std::erase(recognizers_, Ref<UITapGestureRecognizer>(recognizer));
}

void UIView::addSubview(UIView* view) { insertSubviewAtIndex(view, subviews_.size()); }

void UIView::insertSubviewAtIndex(UIView* view, NSUInteger index)
{
    if (!view || view == this)
        return;
    Ref<UIView> keep(view); // removal from the old parent must not free it
    view->removeFromSuperview();
    index = std::min<NSUInteger>(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<long>(index), keep);
    view->superview_ = this;
}

void UIView::removeFromSuperview()
{
    UIView* parent = superview_;
    if (!parent)
        return;
    superview_ = nullptr;
    Ref<UIView> keep(this); // the parent's reference may be the last one
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
}

void UIView::bringSubviewToFront(UIView* view)
{
    if (!view || view->superview_ != this)
        return;
    Ref<UIView> keep(view);
    subviews_.erase(std::remove(subviews_.begin(), subviews_.end(), keep), subviews_.end());
    subviews_.push_back(keep);
}

UIView* UIView::viewWithTag(NSInteger tag) const
{
    if (tag_ == tag)
        return const_cast<UIView*>(this);
    for (const auto& child : subviews_) {
        if (auto* found = child->viewWithTag(tag))
            return found;
    }
    return nullptr;
}

bool UIView::isDescendantOfView(const UIView* ancestor) const
{
    for (const UIView* view = this; view; view = view->superview_) {
        if (view == ancestor)
            return true;
    }
    return false;
}

bool UIView::isVisibleInHierarchy() const
{
    for (const UIView* view = this; view; view = view->superview_) {
        if (view->hidden_)
            return false;
    }
    return true;
}

CGRect UIView::frameInRoot() const
{
    CGRect rect = frame_;
    for (const UIView* parent = superview_; parent; parent = parent->superview_) {
        rect.origin.x += parent->frame_.origin.x;
        rect.origin.y += parent->frame_.origin.y;
    }
    return rect;
}

Ref<UILabel> UILabel::labelWithFrame(CGRect frame)
{
    auto label = make_object<UILabel>();
    label->initWithFrame(frame);
    return label;
}

UILabel::UILabel()
    : textColor_(UIColor::blackColor())
    , font_(UIFont::systemFontOfSize(17))
{
}
