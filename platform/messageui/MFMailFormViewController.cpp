#include "messageui/MFMailFormViewController.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "messageui/MFMailComposeViewController.h"
#include "uikit/UIBarButtonItem.h"

#include <algorithm>

QX_DEFINE_CLASS(MFMailFormViewController)
{
    b.method<&MFMailFormViewController::viewDidLoad>("viewDidLoad");
    b.method<&MFMailFormViewController::sendTapped>("send:");
    b.method<&MFMailFormViewController::cancelTapped>("cancel:");
}

void MFMailFormViewController::installBarItems()
{
    auto cancel = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemCancel, this, "cancel:");
    auto sendTitle = "Send"_ns;
    auto send = UIBarButtonItem::itemWithTitle(sendTitle, UIBarButtonItemStyleDone, this, "send:");
    UINavigationItem* item = navigationItem();
    item->setLeftBarButtonItem(cancel);
    item->setRightBarButtonItem(send);
    refresh();
}

void MFMailFormViewController::viewDidLoad()
{
    objc::sendSuper<void, MFMailFormViewController>(this, "viewDidLoad");
    UIView* root = view();
    const CGFloat width = root->bounds().size.width;
    const CGFloat height = root->bounds().size.height;
    auto addLabel = [root](CGRect frame, NSUInteger resizing) {
        auto label = UILabel::labelWithFrame(frame);
        label->setAutoresizingMask(resizing);
        root->addSubview(label);
        return label.get();
    };
    toLabel_ = addLabel(CGRectMake(0, 0, width, lineHeight), UIViewAutoresizingFlexibleWidth);
    subjectLabel_ = addLabel(CGRectMake(0, lineHeight, width, lineHeight), UIViewAutoresizingFlexibleWidth);
    bodyLabel_ = addLabel(CGRectMake(0, 2 * lineHeight, width, std::max<CGFloat>(0, height - 2 * lineHeight)),
        UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    refresh();
}

void MFMailFormViewController::refresh()
{
    MFMailComposeViewController* mail = form();
    if (!mail)
        return;
    std::string recipients;
    for (const auto& address : mail->recipientAddresses())
        recipients += (recipients.empty() ? "" : ", ") + address;
    Ref<NSString> subject = mail->subject();
    const bool hasSubject = subject && !subject->isEmpty();
    // The bar shows the subject once there is one, as a mail program does.
    auto title = hasSubject ? subject : "New Message"_ns;
    setTitle(title);
    if (auto* label = toLabel_.get()) {
        auto text = NSString::stringWithUTF8String("To: " + recipients);
        label->setText(text);
    }
    if (auto* label = subjectLabel_.get()) {
        auto text = NSString::stringWithUTF8String("Subject: " + (hasSubject ? subject->str() : std::string()));
        label->setText(text);
    }
    if (auto* label = bodyLabel_.get())
        label->setText(mail->messageBody());
}

void MFMailFormViewController::sendTapped(id)
{
    if (auto* mail = form())
        mail->send();
}

void MFMailFormViewController::cancelTapped(id)
{
    if (auto* mail = form())
        mail->cancel();
}

MFMailComposeViewController* MFMailFormViewController::form() const
{
    return objc_cast<MFMailComposeViewController>(navigationController());
}
