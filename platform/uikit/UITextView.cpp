#include "uikit/UITextView.h"

#include "foundation/NSString.h"
#include "uikit/UISnapshot.h"

QX_DEFINE_CLASS(UITextView)
{
    b.property<&UITextView::text_, &UITextView::setText>("text");
    b.property<&UITextView::textColor_>("textColor");
    b.property<&UITextView::font_>("font");
    b.property<&UITextView::textAlignment_>("textAlignment");
    b.property<&UITextView::editable_>("editable");
    b.method<&UITextView::isEditable>("isEditable");
}

Ref<UITextView> UITextView::textViewWithFrame(CGRect frame)
{
    auto view = make_object<UITextView>();
    view->setFrame(frame);
    return view;
}

UITextView::UITextView()
    : text_(NSString::string())
    , textColor_(UIColor::blackColor())
    , font_(UIFont::systemFontOfSize(17))
{
}

// Never nil, as on the platform: no text reads as the empty string.
void UITextView::setText(NSString* text) { text_ = text ? Ref<NSString>(text) : NSString::string(); }

void UITextView::describeElement(UIElement& element) const
{
    UIView::describeElement(element);
    element.text = text_->str();
    element.style = UITextStyleJSON(font_, textColor_, textAlignment_, backgroundColor());
    element.state["editable"] = editable_;
    element.state["insets"] = { { "top", inset_.top }, { "left", inset_.left }, { "bottom", inset_.bottom }, { "right", inset_.right } };
    if (editable_ && isUserInteractionEnabled()) {
        element.onEdit = [weak = objc::WeakRef<UITextView>(const_cast<UITextView*>(this))](const std::string& typed) {
            if (auto* live = weak.get()) {
                auto text = NSString::stringWithUTF8String(typed);
                live->setText(text);
            }
        };
    }
}
