#pragma once

#include "runtime/WeakRef.h"
#include "uikit/UIViewController.h"

class MFMailComposeViewController;

// The one screen of the mail form: "To:", "Subject:" and the body as
// labels, Cancel on the left of the bar and Send on the right, which act on
// the form that shows this screen.
class MFMailFormViewController : public UIViewController {
    QX_OBJECT(MFMailFormViewController, UIViewController)
public:
    static constexpr CGFloat lineHeight = 44;

    void installBarItems();
    void viewDidLoad();
    // Shows the form's current recipients, subject and body.
    void refresh();

    void sendTapped(id sender);
    void cancelTapped(id sender);

protected:
    MFMailFormViewController() = default;

private:
    MFMailComposeViewController* form() const;

    // The root view owns the labels.
    objc::WeakRef<UILabel> toLabel_;
    objc::WeakRef<UILabel> subjectLabel_;
    objc::WeakRef<UILabel> bodyLabel_;
};
