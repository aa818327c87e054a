#include "messageui/MFMailFormViewController.h"

#include "foundation/NSString.h"
#include "uikit/UITextView.h"

#include <algorithm>

QX_DEFINE_CLASS(MFMailFormViewController)
{
    b.method<&MFMailFormViewController::viewDidLoad>("viewDidLoad");
}

void MFMailFormViewController::viewDidLoad()
{
    objc::sendSuper<void, MFMailFormViewController>(this, "viewDidLoad");
    UIView* root = view();
    root->setBackgroundColor(UIColor::whiteColor().get());
    const CGFloat width = root->bounds().size.width;
    const CGFloat height = root->bounds().size.height;
    const CGFloat textWidth = std::max<CGFloat>(0, width - 2 * margin);
    auto addLabel = [root, textWidth](CGFloat y) {
        auto label = UILabel::labelWithFrame(CGRectMake(margin, y, textWidth, lineHeight));
        label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        root->addSubview(label);
        return label.get();
    };
    toLabel_ = addLabel(0);
    subjectLabel_ = addLabel(lineHeight);
    // The body runs from edge to edge, as the platform's text views do; its
    // text is set in by the same margin as the lines above.
    auto body = UITextView::textViewWithFrame(CGRectMake(0, 2 * lineHeight, width, std::max<CGFloat>(0, height - 2 * lineHeight)));
    body->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    body->setTextContainerInset(UIEdgeInsetsMake(UITextView::defaultTextContainerInset.top, margin,
        UITextView::defaultTextContainerInset.bottom, margin));
    root->addSubview(body);
    bodyView_ = body.get();
    refresh();
}

void MFMailFormViewController::showMail(const std::string& recipients, NSString* subject, NSString* body)
{
    recipients_ = recipients;
    subject_ = subject;
    body_ = body;
    refresh();
}

Ref<NSString> MFMailFormViewController::bodyText() const
{
    if (auto* view = bodyView_.get())
        return Ref<NSString>(view->text());
    return body_;
}

void MFMailFormViewController::refresh()
{
    const bool hasSubject = subject_ && !subject_->isEmpty();
    // The bar shows the subject once there is one, as a mail program does.
    setTitle(hasSubject ? subject_.get() : "New Message"_ns.get());
    if (auto* label = toLabel_.get())
        label->setText(NSString::stringWithUTF8String("To: " + recipients_).get());
    if (auto* label = subjectLabel_.get())
        label->setText(NSString::stringWithUTF8String("Subject: " + (hasSubject ? subject_->str() : std::string())).get());
    if (auto* view = bodyView_.get())
        view->setText(body_);
}
