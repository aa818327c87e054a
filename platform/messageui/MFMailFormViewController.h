#pragma once

#include "runtime/WeakRef.h"
#include "uikit/Forward.h"
#include "uikit/UIViewController.h"

#include <string>


// The one screen of the mail form: "To:" and "Subject:" lines and the body,
// which keeps its line breaks and is edited in place, all set in from the
// screen's edges as the platform's forms are. It only shows what it is
// given and hands back the body as edited; the form that shows it owns the
// bar and acts on Cancel and Send.
class MFMailFormViewController : public UIViewController {
    QX_OBJECT(MFMailFormViewController, UIViewController)
public:
    static constexpr CGFloat lineHeight = 44;
    // The room a form leaves between the screen's edges and its text.
    static constexpr CGFloat margin = 15;

    void viewDidLoad();
    // Shows these recipients (one line of text), subject and body; a body
    // the person edited is replaced.
    void showMail(const std::string& recipients, NSString* subject, NSString* body);
    // The body as the person left it: what was given, or their edit of it.
    Ref<NSString> bodyText() const;

protected:
    MFMailFormViewController() = default;

private:
    void refresh();

    std::string recipients_;
    Ref<NSString> subject_;
    Ref<NSString> body_;
    // The root view owns the labels and the body.
    objc::WeakRef<UILabel> toLabel_;
    objc::WeakRef<UILabel> subjectLabel_;
    objc::WeakRef<UITextView> bodyView_;
};
