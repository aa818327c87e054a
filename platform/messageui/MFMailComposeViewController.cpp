#include "messageui/MFMailComposeViewController.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "foundation/SystemCommand.h"
#include "messageui/MFMailFormViewController.h"
#include "uikit/UIBarButtonItem.h"

#include <algorithm>

namespace {

constexpr std::string_view mailProgram = "xdg-email";

std::vector<MFSentMail>& sentMailList()
{
    static std::vector<MFSentMail> list;
    return list;
}

// An address goes to the mail program as its own argument: one that starts
// with "-" would be read as an option (such as an attachment), and a "?"
// would let a mailto query add headers or attachments. Such addresses, and
// any with blanks or control characters, are left out.
bool isHandableAddress(std::string_view address)
{
    if (address.empty() || address.front() == '-')
        return false;
    return std::none_of(address.begin(), address.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte == 0x7f || c == '?';
    });
}

std::vector<std::string> mailProgramArguments(const std::string& program, const MFSentMail& mail)
{
    std::vector<std::string> argv { program };
    argv.insert(argv.end(), { "--subject", mail.subject });
    argv.insert(argv.end(), { "--body", mail.body });
    argv.insert(argv.end(), mail.recipients.begin(), mail.recipients.end());
    return argv;
}

} // namespace

QX_DEFINE_CLASS(MFMailComposeViewController)
{
    b.classMethod("canSendMail", [](Class) -> bool { return MFMailComposeViewController::canSendMail(); });
    b.method<&MFMailComposeViewController::init>("init");
    b.property<&MFMailComposeViewController::toRecipients_, &MFMailComposeViewController::setToRecipients>("toRecipients");
    b.property<&MFMailComposeViewController::subject_, &MFMailComposeViewController::setSubject>("subject");
    b.method<&MFMailComposeViewController::setMessageBodyIsHTML>("setMessageBody:isHTML:");
    b.property<&MFMailComposeViewController::mailComposeDelegate_>("mailComposeDelegate");
    b.method("send:", [](MFMailComposeViewController* self, id) { self->send(); });
    b.method("cancel:", [](MFMailComposeViewController* self, id) { self->cancel(); });
}

bool MFMailComposeViewController::canSendMail() { return foundation::findExecutable(mailProgram).has_value(); }

const std::vector<MFSentMail>& MFMailComposeViewController::sentMails() { return sentMailList(); }

MFMailComposeViewController* MFMailComposeViewController::init()
{
    auto screen = objc::create<MFMailFormViewController>("init");
    objc::sendSuper<id, MFMailComposeViewController>(this, "initWithRootViewController:", screen.get());
    auto cancel = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemCancel, this, "cancel:");
    auto sendTitle = "Send"_ns;
    auto send = UIBarButtonItem::itemWithTitle(sendTitle, UIBarButtonItemStyleDone, this, "send:");
    UINavigationItem* item = screen->navigationItem();
    item->setLeftBarButtonItem(cancel);
    item->setRightBarButtonItem(send);
    contentChanged();
    return this;
}

void MFMailComposeViewController::setToRecipients(NSArray* recipients)
{
    toRecipients_ = recipients ? NSArray::arrayWithArray(recipients) : nullptr;
    contentChanged();
}

std::vector<std::string> MFMailComposeViewController::recipientAddresses() const
{
    std::vector<std::string> addresses;
    if (toRecipients_) {
        for (const auto& item : *toRecipients_) {
            if (auto* address = objc_cast<NSString>(item.get()))
                addresses.push_back(address->str());
        }
    }
    return addresses;
}

void MFMailComposeViewController::setSubject(NSString* subject)
{
    subject_ = subject;
    contentChanged();
}

void MFMailComposeViewController::setMessageBodyIsHTML(NSString* body, bool isHTML)
{
    messageBody_ = body;
    isHTML_ = isHTML;
    contentChanged();
}

void MFMailComposeViewController::send()
{
    if (finished_)
        return;
    MFSentMail mail;
    for (auto& address : recipientAddresses()) {
        if (isHandableAddress(address))
            mail.recipients.push_back(std::move(address));
    }
    mail.subject = subject_ ? subject_->str() : std::string();
    // The body as the person left it on the form.
    Ref<NSString> body = messageBody_;
    if (auto* screen = formScreen())
        body = screen->bodyText();
    mail.body = body ? body->str() : std::string();
    mail.isHTML = isHTML_;
    // The mail program may wait on a person for as long as it likes: it is
    // started and left to run, and whether it then fails is not ours to see.
    if (auto program = foundation::findExecutable(mailProgram))
        mail.handedToMailProgram = foundation::spawnDetached(mailProgramArguments(*program, mail));
    sentMailList().push_back(std::move(mail));
    finish(MFMailComposeResultSent);
}

void MFMailComposeViewController::cancel()
{
    if (finished_)
        return;
    finish(MFMailComposeResultCancelled);
}

void MFMailComposeViewController::finish(MFMailComposeResult result)
{
    static const SEL didFinish("mailComposeController:didFinishWithResult:error:");
    finished_ = true;
    // The delegate usually dismisses the form, which may release its last reference.
    Ref<MFMailComposeViewController> keep(this);
    Ref<NSObject> delegate = mailComposeDelegate_.get();
    if (delegate && delegate->respondsToSelector(didFinish))
        objc::send(delegate, didFinish, this, static_cast<NSInteger>(result), nullptr);
}

MFMailFormViewController* MFMailComposeViewController::formScreen() const
{
    const auto& screens = viewControllers();
    return screens.empty() ? nullptr : objc_cast<MFMailFormViewController>(screens.front().get());
}

void MFMailComposeViewController::contentChanged()
{
    auto* screen = formScreen();
    if (!screen)
        return;
    std::string recipients;
    for (const auto& address : recipientAddresses())
        recipients += (recipients.empty() ? "" : ", ") + address;
    screen->showMail(recipients, subject_, messageBody_);
}
