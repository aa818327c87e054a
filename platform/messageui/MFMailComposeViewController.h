#pragma once

#include "runtime/WeakRef.h"
#include "uikit/UIViewController.h"

#include <string>
#include <vector>

class MFMailFormViewController;

enum MFMailComposeResult : NSInteger {
    MFMailComposeResultCancelled = 0,
    MFMailComposeResultSaved = 1,
    MFMailComposeResultSent = 2,
    MFMailComposeResultFailed = 3,
};

// A mail as it was handed over when a person tapped Send.
struct MFSentMail {
    std::vector<std::string> recipients;
    std::string subject;
    std::string body;
    bool isHTML = false;
    // Whether the mail program could be started with it.
    bool handedToMailProgram = false;
};

// The mail form: a navigation controller whose one screen shows the
// recipients, subject and body (which the person may edit) with Cancel and
// Send in its bar. Sending hands
// the mail to the desktop's mail program through `xdg-email` (never waiting
// on it); either way the form then tells its delegate
// `mailComposeController:didFinishWithResult:error:`, and the delegate
// dismisses it.
class MFMailComposeViewController : public UINavigationController {
    QX_OBJECT(MFMailComposeViewController, UINavigationController)
public:
    // Whether a mail can be handed to a mail program: `xdg-email` is on PATH.
    static bool canSendMail();
    // Every mail sent in this process, oldest first.
    static const std::vector<MFSentMail>& sentMails();

    MFMailComposeViewController* init();

    NSArray* toRecipients() const { return toRecipients_; }
    void setToRecipients(NSArray* recipients);
    // The recipients that are strings, as text.
    std::vector<std::string> recipientAddresses() const;
    NSString* subject() const { return subject_; }
    void setSubject(NSString* subject);
    NSString* messageBody() const { return messageBody_; }
    bool isHTML() const { return isHTML_; }
    void setMessageBodyIsHTML(NSString* body, bool isHTML);
    id mailComposeDelegate() const { return mailComposeDelegate_.get(); }
    void setMailComposeDelegate(id delegate) { mailComposeDelegate_ = delegate; }

    // What a person does with the form. Only the first of them counts.
    void send();
    void cancel();
    bool isFinished() const { return finished_; }

protected:
    MFMailComposeViewController() = default;

private:
    MFMailFormViewController* formScreen() const;
    void contentChanged();
    void finish(MFMailComposeResult result);

    Ref<NSArray> toRecipients_;
    Ref<NSString> subject_;
    Ref<NSString> messageBody_;
    bool isHTML_ = false;
    objc::WeakRef<NSObject> mailComposeDelegate_;
    bool finished_ = false;
};
