#include "uikit/UIBarButtonItem.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "runtime/TargetAction.h"
#include "uikit/PlatformText.h"
#include "uikit/UIControl.h"

QX_DEFINE_CLASS(UIBarButtonItem)
{
    b.method<&UIBarButtonItem::initWithBarButtonSystemItemTargetAction>("initWithBarButtonSystemItem:target:action:");
    b.method<&UIBarButtonItem::initWithTitleStyleTargetAction>("initWithTitle:style:target:action:");
    b.method<&UIBarButtonItem::initWithImageStyleTargetAction>("initWithImage:style:target:action:");
    b.method<&UIBarButtonItem::initWithCustomView>("initWithCustomView:");
    b.property<&UIBarButtonItem::target_>("target");
    b.property<&UIBarButtonItem::action_>("action");
    b.property<&UIBarButtonItem::title_>("title", objc::Copy);
    b.property<&UIBarButtonItem::image_>("image");
    b.property<&UIBarButtonItem::customView_>("customView");
    b.property<&UIBarButtonItem::style_>("style");
    b.property<&UIBarButtonItem::width_>("width");
}

QX_DEFINE_CLASS(UINavigationItem)
{
    b.property<&UINavigationItem::title_>("title", objc::Copy);
    b.property<&UINavigationItem::left_>("leftBarButtonItem");
    b.method<&UINavigationItem::rightBarButtonItem>("rightBarButtonItem");
    b.method<&UINavigationItem::setRightBarButtonItem>("setRightBarButtonItem:");
    b.method<&UINavigationItem::rightBarButtonItems>("rightBarButtonItems");
    b.method<&UINavigationItem::setRightBarButtonItems>("setRightBarButtonItems:");
}

Ref<UIBarButtonItem> UIBarButtonItem::itemWithSystemItem(NSInteger systemItem, id target, SEL action)
{
    auto item = make_object<UIBarButtonItem>();
    item->initWithBarButtonSystemItemTargetAction(systemItem, target, action);
    return item;
}

Ref<UIBarButtonItem> UIBarButtonItem::itemWithTitle(NSString* title, NSInteger style, id target, SEL action)
{
    auto item = make_object<UIBarButtonItem>();
    item->initWithTitleStyleTargetAction(title, style, target, action);
    return item;
}

Ref<UIBarButtonItem> UIBarButtonItem::itemWithImage(UIImage* image, NSInteger style, id target, SEL action)
{
    auto item = make_object<UIBarButtonItem>();
    item->initWithImageStyleTargetAction(image, style, target, action);
    return item;
}

Ref<UIBarButtonItem> UIBarButtonItem::itemWithCustomView(UIView* view)
{
    auto item = make_object<UIBarButtonItem>();
    item->initWithCustomView(view);
    return item;
}

UIBarButtonItem* UIBarButtonItem::initWithBarButtonSystemItemTargetAction(NSInteger systemItem, id target, SEL action)
{
    systemItem_ = systemItem;
    return setTargetAction(target, action);
}

UIBarButtonItem* UIBarButtonItem::initWithTitleStyleTargetAction(NSString* title, NSInteger style, id target, SEL action)
{
    title_ = title;
    style_ = style;
    return setTargetAction(target, action);
}

UIBarButtonItem* UIBarButtonItem::initWithImageStyleTargetAction(UIImage* image, NSInteger style, id target, SEL action)
{
    image_ = image;
    style_ = style;
    return setTargetAction(target, action);
}

UIBarButtonItem* UIBarButtonItem::setTargetAction(id target, SEL action)
{
    target_ = target;
    action_ = action;
    return this;
}

UIBarButtonItem* UIBarButtonItem::initWithCustomView(UIView* view)
{
    customView_ = view;
    return this;
}

std::string UIBarButtonItem::visibleText() const
{
    if (title_)
        return title_->str();
    switch (systemItem_) {
    case UIBarButtonSystemItemDone:
        return uikit::platformText("Done");
    case UIBarButtonSystemItemCancel:
        return uikit::platformText("Cancel");
    case UIBarButtonSystemItemEdit:
        return uikit::platformText("Edit");
    case UIBarButtonSystemItemSave:
        return uikit::platformText("Save");
    case UIBarButtonSystemItemAdd:
        return uikit::platformText("Add");
    case UIBarButtonSystemItemTrash:
        return uikit::platformText("Delete");
    case UIBarButtonSystemItemAction:
        return uikit::platformText("Share");
    default:
        break;
    }
    if (customView_ && customView_->accessibilityLabel())
        return customView_->accessibilityLabel()->str();
    if (auto* button = objc_cast<UIButton>(customView_.get()); button && button->title())
        return button->title()->str();
    if (image_)
        return image_->name();
    return {};
}

void UIBarButtonItem::tap()
{
    Ref<UIBarButtonItem> keep(this);
    if (auto* control = objc_cast<UIControl>(customView_.get())) {
        control->tap();
        return;
    }
    objc_sendAction(action_, target_.get(), this);
}

Ref<UINavigationItem> UINavigationItem::item() { return make_object<UINavigationItem>(); }

void UINavigationItem::setRightBarButtonItem(UIBarButtonItem* item)
{
    right_.clear();
    if (item)
        right_.emplace_back(item);
}

Ref<NSArray> UINavigationItem::rightBarButtonItems() const { return right_.empty() ? nullptr : arrayOfBarItems(right_); }

void UINavigationItem::setRightBarButtonItems(const NSArray* items) { right_ = barItemsOf(items); }

std::vector<Ref<UIBarButtonItem>> barItemsOf(const NSArray* items)
{
    std::vector<Ref<UIBarButtonItem>> list;
    if (items) {
        for (const auto& object : *items) {
            if (auto* item = objc_cast<UIBarButtonItem>(object.get()))
                list.emplace_back(item);
        }
    }
    return list;
}

Ref<NSArray> arrayOfBarItems(const std::vector<Ref<UIBarButtonItem>>& items)
{
    auto array = NSMutableArray::array();
    for (const auto& item : items)
        array->addObject(item);
    return array;
}
