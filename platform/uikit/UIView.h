#pragma once

#include "runtime/ClassDefinition.h"
#include "uikit/CGGeometry.h"
#include "uikit/Forward.h"
#include "uikit/UIColor.h"
#include "uikit/UITapGestureRecognizer.h"

#include <string>
#include <vector>


enum UIViewAutoresizing : NSUInteger {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1,
    UIViewAutoresizingFlexibleWidth = 2,
    UIViewAutoresizingFlexibleRightMargin = 4,
    UIViewAutoresizingFlexibleTopMargin = 8,
    UIViewAutoresizingFlexibleHeight = 16,
    UIViewAutoresizingFlexibleBottomMargin = 32,
};

enum NSTextAlignment : NSInteger {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
};

// A rectangle in its parent's coordinates with subviews. Parents own their
// subviews; the back pointer to the parent is plain and cleared when the
// child leaves. A change of size lays the subviews out by their
// autoresizing masks.
class UIView : public NSObject {
    QX_OBJECT(UIView, NSObject)
public:
    static Ref<UIView> viewWithFrame(CGRect frame);

    UIView* initWithFrame(CGRect frame);

    CGRect frame() const { return frame_; }
    void setFrame(CGRect frame);
    // Origin 0, 0 and the frame's size.
    CGRect bounds() const { return { {}, frame_.size }; }
    NSInteger tag() const { return tag_; }
    void setTag(NSInteger tag) { tag_ = tag; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    NSUInteger autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(NSUInteger mask) { autoresizingMask_ = mask; }
    UIColor* backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(UIColor* color) { backgroundColor_ = color; }
    NSString* accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(NSString* label) { accessibilityLabel_ = label; }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }

    UIView* superview() const { return superview_; }
    const std::vector<Ref<UIView>>& subviews() const { return subviews_; }
    // Adding a view that has a parent moves it; it ends up topmost.
    void addSubview(UIView* view);
    void insertSubviewAtIndex(UIView* view, NSUInteger index);
    void removeFromSuperview();
    void bringSubviewToFront(UIView* view);
    // The view itself or the first descendant with the tag, depth first.
    UIView* viewWithTag(NSInteger tag) const;
    bool isDescendantOfView(const UIView* ancestor) const;
    // Whether this view and all its ancestors are visible.
    bool isVisibleInHierarchy() const;
    // The rectangle in the coordinates of the topmost ancestor.
    CGRect frameInRoot() const;

    // The view owns its recognizers; a tap on it reaches each of them.
    void addGestureRecognizer(UITapGestureRecognizer* recognizer);
    void removeGestureRecognizer(UITapGestureRecognizer* recognizer);
    const std::vector<Ref<UITapGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

    // What the snapshot calls this kind of element ("view", "label", ...).
    virtual std::string role() const { return "view"; }
    // Fills the snapshot element of this view: text, label, states and the
    // hooks a driver acts through. Subclasses in higher frameworks (a map, a
    // form) override it and call this one; the snapshot walks the subviews
    // afterwards unless describesSubviews() says the view listed its own.
    virtual void describeElement(UIElement& element) const;
    virtual bool describesSubviews() const { return false; }

protected:
    UIView() = default;
    ~UIView() override;

private:
    void resizeSubviews(CGSize oldSize);

    CGRect frame_ {};
    NSInteger tag_ = 0;
    bool hidden_ = false;
    bool userInteractionEnabled_ = true;
    NSUInteger autoresizingMask_ = UIViewAutoresizingNone;
    Ref<UIColor> backgroundColor_;
    Ref<NSString> accessibilityLabel_;
    UIView* superview_ = nullptr;
    std::vector<Ref<UIView>> subviews_;
    std::vector<Ref<UITapGestureRecognizer>> recognizers_;
};

// A line of text.
class UILabel : public UIView {
    QX_OBJECT(UILabel, UIView)
public:
    static Ref<UILabel> labelWithFrame(CGRect frame);

    NSString* text() const { return text_; }
    void setText(NSString* text) { text_ = text; }
    UIColor* textColor() const { return textColor_; }
    void setTextColor(UIColor* color) { textColor_ = color; }
    UIFont* font() const { return font_; }
    void setFont(UIFont* font) { font_ = font; }
    NSInteger textAlignment() const { return textAlignment_; }
    void setTextAlignment(NSInteger alignment) { textAlignment_ = alignment; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSizeToFitWidth_ = adjusts; }
    double minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(double size) { minimumFontSize_ = size; }

    std::string role() const override { return "label"; }

protected:
    UILabel();

private:
    Ref<NSString> text_;
    Ref<UIColor> textColor_;
    Ref<UIFont> font_;
    NSInteger textAlignment_ = NSTextAlignmentLeft;
    bool adjustsFontSizeToFitWidth_ = false;
    double minimumFontSize_ = 0;
};
