#include "uikit/UITableViewCell.h"

#include "foundation/NSString.h"

#include <algorithm>

namespace {

constexpr CGFloat kMargin = 10;
constexpr CGFloat kDefaultWidth = 320;
// A zero-sized accessory view (a switch made with a zero frame) gets the
// size the platform's switch has.
constexpr CGSize kAccessoryViewSize { 79, 27 };

// The width a drawn accessory takes at the right edge, by accessory type.
CGFloat accessoryWidth(NSInteger type)
{
    switch (type) {
    case UITableViewCellAccessoryDisclosureIndicator:
    case UITableViewCellAccessoryCheckmark:
        return 20;
    case UITableViewCellAccessoryDetailDisclosureButton:
        return 33;
    default:
        return 0;
    }
}

} // namespace

QX_DEFINE_CLASS(UITableViewCell)
{
    b.method<&UITableViewCell::initWithStyleReuseIdentifier>("initWithStyle:reuseIdentifier:");
    b.method("initWithFrame:", [](UITableViewCell* self, CGRect frame) {
        self->initWithStyleReuseIdentifier(UITableViewCellStyleDefault, nullptr);
        self->setFrame(frame);
        return self;
    });
    b.method("init", [](UITableViewCell* self) { return self->initWithStyleReuseIdentifier(UITableViewCellStyleDefault, nullptr); });
    b.property<&UITableViewCell::reuseIdentifier_>("reuseIdentifier", objc::ReadOnly);
    b.property<&UITableViewCell::textLabel_>("textLabel", objc::ReadOnly);
    b.property<&UITableViewCell::detailTextLabel_>("detailTextLabel", objc::ReadOnly);
    b.property<&UITableViewCell::accessoryType_>("accessoryType");
    b.property<&UITableViewCell::accessoryView_, &UITableViewCell::setAccessoryView>("accessoryView");
    b.property<&UITableViewCell::selectionStyle_>("selectionStyle");
    b.property<&UITableViewCell::selected_>("selected");
    b.method<&UITableViewCell::isSelected>("isSelected");
    b.method("setSelected:animated:", [](UITableViewCell* self, bool selected, bool) { self->setSelected(selected); });
    b.property<&UITableViewCell::highlighted_>("highlighted");
    b.method<&UITableViewCell::isHighlighted>("isHighlighted");
    b.method("setHighlighted:animated:", [](UITableViewCell* self, bool highlighted, bool) { self->setHighlighted(highlighted); });
    b.method<&UITableViewCell::prepareForReuse>("prepareForReuse");
}

Ref<UITableViewCell> UITableViewCell::cellWithStyle(NSInteger style, NSString* reuseIdentifier)
{
    auto cell = make_object<UITableViewCell>();
    cell->initWithStyleReuseIdentifier(style, reuseIdentifier);
    return cell;
}

UITableViewCell* UITableViewCell::initWithStyleReuseIdentifier(NSInteger style, NSString* reuseIdentifier)
{
    initWithFrame(CGRectMake(0, 0, kDefaultWidth, defaultHeight));
    style_ = style;
    reuseIdentifier_ = reuseIdentifier;
    for (auto* label : { textLabel_.get(), detailTextLabel_.get() }) {
        if (label)
            label->removeFromSuperview();
    }
    // The masks keep the labels' share of the width when the table resizes
    // the cell: side by side, each label takes half of the change.
    textLabel_ = UILabel::labelWithFrame(CGRectZero);
    textLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    addSubview(textLabel_);
    detailTextLabel_ = nullptr;
    if (style != UITableViewCellStyleDefault) {
        detailTextLabel_ = UILabel::labelWithFrame(CGRectZero);
        detailTextLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        if (style == UITableViewCellStyleValue1) {
            textLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleRightMargin);
            detailTextLabel_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleWidth);
            detailTextLabel_->setTextAlignment(NSTextAlignmentRight);
            auto detailColor = UIColor::colorWithRedGreenBlueAlpha(0.22, 0.33, 0.53, 1);
            detailTextLabel_->setTextColor(detailColor);
        } else if (style == UITableViewCellStyleValue2) {
            textLabel_->setAutoresizingMask(UIViewAutoresizingNone);
            textLabel_->setTextAlignment(NSTextAlignmentRight);
            auto labelColor = UIColor::colorWithRedGreenBlueAlpha(0.32, 0.4, 0.57, 1);
            textLabel_->setTextColor(labelColor);
        }
        addSubview(detailTextLabel_);
    }
    layoutContent();
    return this;
}

void UITableViewCell::setAccessoryView(UIView* view)
{
    if (view == accessoryView_.get())
        return;
    if (accessoryView_)
        accessoryView_->removeFromSuperview();
    accessoryView_ = view;
    if (view) {
        view->setAutoresizingMask(view->autoresizingMask() | UIViewAutoresizingFlexibleLeftMargin);
        addSubview(view);
        layoutContent();
    }
}

void UITableViewCell::prepareForReuse()
{
    selected_ = false;
    highlighted_ = false;
}

void UITableViewCell::layoutContent()
{
    const CGRect bounds = this->bounds();
    CGFloat right = bounds.size.width - kMargin;
    if (accessoryView_) {
        CGRect frame = accessoryView_->frame();
        if (frame.size == CGSize {})
            frame.size = kAccessoryViewSize;
        frame.origin = { right - frame.size.width, (bounds.size.height - frame.size.height) / 2 };
        accessoryView_->setFrame(frame);
        right = frame.origin.x - kMargin;
    } else if (CGFloat width = accessoryWidth(accessoryType_); width > 0) {
        right -= width + kMargin;
    }
    const CGFloat width = std::max<CGFloat>(0, right - kMargin);
    const CGFloat height = bounds.size.height;
    switch (style_) {
    case UITableViewCellStyleValue1:
        textLabel_->setFrame(CGRectMake(kMargin, 0, width / 2, height));
        detailTextLabel_->setFrame(CGRectMake(kMargin + width / 2, 0, width / 2, height));
        break;
    case UITableViewCellStyleValue2: {
        const CGFloat labelWidth = std::min<CGFloat>(67, width);
        textLabel_->setFrame(CGRectMake(kMargin, 0, labelWidth, height));
        detailTextLabel_->setFrame(CGRectMake(kMargin + labelWidth + 6, 0, std::max<CGFloat>(0, width - labelWidth - 6), height));
        break;
    }
    case UITableViewCellStyleSubtitle:
        textLabel_->setFrame(CGRectMake(kMargin, 2, width, height / 2));
        detailTextLabel_->setFrame(CGRectMake(kMargin, 2 + height / 2, width, height / 2 - 4));
        break;
    default:
        if (textLabel_)
            textLabel_->setFrame(CGRectMake(kMargin, 0, width, height));
        break;
    }
}
