#pragma once

#include "foundation/Forward.h"
#include "uikit/UIView.h"

// Room between a text view's edges and its text.
struct UIEdgeInsets {
    CGFloat top = 0;
    CGFloat left = 0;
    CGFloat bottom = 0;
    CGFloat right = 0;
    friend bool operator==(const UIEdgeInsets&, const UIEdgeInsets&) = default;
};

inline UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) { return { top, left, bottom, right }; }

// Text of many lines, kept as written (its line breaks included), which a
// person edits when it is editable (as it is unless told otherwise).
class UITextView : public UIView {
    QX_OBJECT(UITextView, UIView)
public:
    // The platform's room around the text: 8 points above and below.
    static constexpr UIEdgeInsets defaultTextContainerInset { 8, 0, 8, 0 };

    static Ref<UITextView> textViewWithFrame(CGRect frame);

    NSString* text() const { return text_; }
    void setText(NSString* text);
    UIColor* textColor() const { return textColor_; }
    void setTextColor(UIColor* color) { textColor_ = color; }
    UIFont* font() const { return font_; }
    void setFont(UIFont* font) { font_ = font; }
    NSInteger textAlignment() const { return textAlignment_; }
    void setTextAlignment(NSInteger alignment) { textAlignment_ = alignment; }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }
    UIEdgeInsets textContainerInset() const { return inset_; }
    void setTextContainerInset(UIEdgeInsets inset) { inset_ = inset; }

    std::string role() const override { return "textView"; }
    void describeElement(UIElement& element) const override;

protected:
    UITextView();

private:
    Ref<NSString> text_;
    Ref<UIColor> textColor_;
    Ref<UIFont> font_;
    NSInteger textAlignment_ = NSTextAlignmentLeft;
    bool editable_ = true;
    UIEdgeInsets inset_ = defaultTextContainerInset;
};
