#pragma once

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "runtime/WeakRef.h"
#include "uikit/UIView.h"

#include <vector>

enum UIBarButtonSystemItem : NSInteger {
    UIBarButtonSystemItemDone = 0,
    UIBarButtonSystemItemCancel = 1,
    UIBarButtonSystemItemEdit = 2,
    UIBarButtonSystemItemSave = 3,
    UIBarButtonSystemItemAdd = 4,
    UIBarButtonSystemItemFlexibleSpace = 5,
    UIBarButtonSystemItemFixedSpace = 6,
    UIBarButtonSystemItemTrash = 16,
    UIBarButtonSystemItemAction = 9,
};

enum UIBarButtonItemStyle : NSInteger {
    UIBarButtonItemStylePlain = 0,
    UIBarButtonItemStyleBordered = 1,
    UIBarButtonItemStyleDone = 2,
};

// An item of a toolbar or navigation bar: a system item, a title, an image
// or a custom view. Its target is weak.
class UIBarButtonItem : public NSObject {
    QX_OBJECT(UIBarButtonItem, NSObject)
public:
    static Ref<UIBarButtonItem> itemWithSystemItem(NSInteger systemItem, id target, SEL action);
    static Ref<UIBarButtonItem> itemWithTitle(NSString* title, NSInteger style, id target, SEL action);
    static Ref<UIBarButtonItem> itemWithImage(UIImage* image, NSInteger style, id target, SEL action);
    static Ref<UIBarButtonItem> itemWithCustomView(UIView* view);

    UIBarButtonItem* initWithBarButtonSystemItemTargetAction(NSInteger systemItem, id target, SEL action);
    UIBarButtonItem* initWithTitleStyleTargetAction(NSString* title, NSInteger style, id target, SEL action);
    UIBarButtonItem* initWithImageStyleTargetAction(UIImage* image, NSInteger style, id target, SEL action);
    UIBarButtonItem* initWithCustomView(UIView* view);

    // -1 for an item that is not a system item.
    NSInteger systemItem() const { return systemItem_; }
    bool isSpace() const { return systemItem_ == UIBarButtonSystemItemFlexibleSpace || systemItem_ == UIBarButtonSystemItemFixedSpace; }
    NSString* title() const { return title_; }
    UIImage* image() const { return image_; }
    UIView* customView() const { return customView_; }
    NSInteger style() const { return style_; }
    id target() const { return target_.get(); }
    void setTarget(id target) { target_ = target; }
    SEL action() const { return action_; }
    void setAction(SEL action) { action_ = action; }
    double width() const { return width_; }

    // The text a person reads on it: the title, the system item's name, the
    // custom view's accessibility label, or the image's name.
    std::string visibleText() const;
    // What a tap does: the custom view's control gets touch-up-inside,
    // anything else sends its action to its target with itself as sender.
    void tap();

protected:
    UIBarButtonItem() = default;

private:
    UIBarButtonItem* setTargetAction(id target, SEL action);

    NSInteger systemItem_ = -1;
    NSInteger style_ = UIBarButtonItemStylePlain;
    Ref<NSString> title_;
    Ref<UIImage> image_;
    Ref<UIView> customView_;
    objc::WeakRef<NSObject> target_;
    SEL action_;
    double width_ = 0;
};

// The title and buttons a view controller shows in a navigation bar.
class UINavigationItem : public NSObject {
    QX_OBJECT(UINavigationItem, NSObject)
public:
    static Ref<UINavigationItem> item();

    NSString* title() const { return title_; }
    void setTitle(NSString* title) { title_ = title; }
    UIBarButtonItem* leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(UIBarButtonItem* item) { left_ = item; }
    UIBarButtonItem* rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front().get(); }
    void setRightBarButtonItem(UIBarButtonItem* item);
    // Laid out from the bar's right edge inwards: the first is rightmost.
    const std::vector<Ref<UIBarButtonItem>>& rightItems() const { return right_; }
    Ref<NSArray> rightBarButtonItems() const;
    void setRightBarButtonItems(const NSArray* items);

protected:
    UINavigationItem() = default;

private:
    Ref<NSString> title_;
    Ref<UIBarButtonItem> left_;
    std::vector<Ref<UIBarButtonItem>> right_;
};

// Bar items as a list, for the toolkit's own bookkeeping.
std::vector<Ref<UIBarButtonItem>> barItemsOf(const NSArray* items);
Ref<NSArray> arrayOfBarItems(const std::vector<Ref<UIBarButtonItem>>& items);
