#pragma once

#include "runtime/WeakRef.h"
#include "uikit/Forward.h"
#include "uikit/UIViewController.h"

#include <string>
#include <vector>


enum UIStatusBarAnimation : NSInteger {
    UIStatusBarAnimationNone = 0,
    UIStatusBarAnimationFade = 1,
    UIStatusBarAnimationSlide = 2,
};

// The screen's size in points for the current device: 768 × 1024 on a
// tablet, 320 × 480 on a phone and on any other idiom.
CGRect UIScreenBounds();

// The application: the window with its root screen, the layers above it
// (modal screens hang off their presenters; popovers and alerts are kept
// here while they are shown), the status bar, and the system services a
// screen reaches through it.
class UIApplication : public NSObject {
    QX_OBJECT(UIApplication, NSObject)
public:
    static UIApplication* sharedApplication();

    UIView* window();
    UIViewController* rootViewController() const { return root_; }
    // Shows the controller's view in the window, filling it.
    void setRootViewController(UIViewController* controller);

    NSInteger statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyleAnimated(NSInteger style, bool animated);
    bool isStatusBarHidden() const { return statusBarHidden_; }
    // `setStatusBarHidden:withAnimation:`; the animation (none, fade, slide) changes nothing here.
    void setStatusBarHiddenWithAnimation(bool hidden, NSInteger animation);

    // Hands the URL to the desktop's opener (`xdg-open`) when there is one,
    // without waiting for it; every URL asked for is recorded, oldest first.
    bool openURL(const NSURL* url);
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }

    // The layers above the root, bottom to top.
    std::vector<UIViewController*> modalStack() const;
    std::vector<UIPopoverController*> visiblePopovers() const;
    const std::vector<Ref<UIAlertView>>& visibleAlerts() const { return alerts_; }
    void showAlert(UIAlertView* alert);
    void removeAlert(UIAlertView* alert);
    void popoverDidShow(UIPopoverController* popover);
    void popoverDidHide(UIPopoverController* popover);

    // Every screen on screen: the root, navigation tops, children, modal
    // screens and popover contents, bottom to top.
    std::vector<UIViewController*> visibleViewControllers() const;
    // Sends viewDidLayoutSubviews to each screen on screen that needs it.
    void layoutIfNeeded();
    // Sends didReceiveMemoryWarning to every live view controller.
    void simulateMemoryWarning();

    // Bookkeeping of live controllers for memory warnings.
    void registerViewController(UIViewController* controller);

    // Puts the toolkit back as a new process finds it (tests, a new viewer).
    void reset();

protected:
    UIApplication() = default;

private:
    Ref<UIView> window_;
    Ref<UIViewController> root_;
    NSInteger statusBarStyle_ = 0;
    bool statusBarHidden_ = false;
    std::vector<std::string> openedURLs_;
    std::vector<objc::WeakRef<UIPopoverController>> popovers_;
    std::vector<Ref<UIAlertView>> alerts_;
    std::vector<objc::WeakRef<UIViewController>> controllers_;
};

// A one-button (or more) notice with a delegate. Shown, the application
// holds it until a button closes it.
class UIAlertView : public UIView {
    QX_OBJECT(UIAlertView, UIView)
public:
    UIAlertView* initWithTitleMessageDelegateCancelButtonTitle(NSString* title, NSString* message, id delegate,
        NSString* cancelButtonTitle, NSArray* otherButtonTitles);

    NSString* title() const { return title_; }
    NSString* message() const { return message_; }
    id delegate() const { return delegate_.get(); }
    // The cancel button first, then the others.
    std::vector<std::string> buttonTitles() const;
    void show();
    bool isVisible() const { return visible_; }
    // Closes the alert, then tells the delegate `alertView:clickedButtonAtIndex:`.
    void dismissWithClickedButtonIndexAnimated(NSInteger index, bool animated);

    std::string role() const override { return "alert"; }

protected:
    UIAlertView() = default;

private:
    Ref<NSString> title_;
    Ref<NSString> message_;
    objc::WeakRef<NSObject> delegate_;
    Ref<NSString> cancelTitle_;
    std::vector<std::string> otherTitles_;
    bool visible_ = false;
};

// The process's pasteboard. A copied string is mirrored to the desktop's
// clipboard where a clipboard tool exists, without waiting on it.
class UIPasteboard : public NSObject {
    QX_OBJECT(UIPasteboard, NSObject)
public:
    static UIPasteboard* generalPasteboard();

    NSString* string() const { return string_; }
    void setString(NSString* text);

protected:
    UIPasteboard() = default;

private:
    Ref<NSString> string_;
};

enum UIPopoverArrowDirection : NSUInteger {
    UIPopoverArrowDirectionUp = 1,
    UIPopoverArrowDirectionDown = 2,
    UIPopoverArrowDirectionLeft = 4,
    UIPopoverArrowDirectionRight = 8,
    UIPopoverArrowDirectionAny = 15,
};

// A screen shown in a floating panel anchored at a bar item. Nothing but
// its owner keeps it. While it shows, a touch outside the panel reaches what
// is under it only on the passthrough views and on the bar it was presented
// from (presenting adds that bar; setting the passthrough views afterwards
// replaces it); any other touch outside closes it and goes no further.
class UIPopoverController : public NSObject {
    QX_OBJECT(UIPopoverController, NSObject)
public:
    UIPopoverController* initWithContentViewController(UIViewController* content);

    UIViewController* contentViewController() const { return content_; }
    NSArray* passthroughViews() const { return passthroughViews_; }
    void setPassthroughViews(NSArray* views);
    // The platform's hit rule for a touch outside the panel: whether it
    // reaches `view`, or an item of the bar holding `barItems`.
    bool passesTouchToView(const UIView* view) const;
    bool passesTouchToBar(const std::vector<Ref<UIBarButtonItem>>& barItems) const;
    void presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(UIBarButtonItem* item, NSUInteger directions, bool animated);
    bool isPopoverVisible() const { return visible_; }
    void dismissPopoverAnimated(bool animated);
    UIBarButtonItem* anchorItem() const { return anchor_.get(); }
    NSUInteger arrowDirections() const { return arrowDirections_; }
    // The size of the top screen in the popover (its content size).
    CGSize popoverContentSize() const;
    // The panel that holds the content's view.
    UIView* containerView() const { return container_; }
    // A tap outside: the platform closes the popover without asking.
    void closeFromOutside();

protected:
    UIPopoverController() = default;
    ~UIPopoverController() override;

private:
    void hide(bool animated);

    Ref<UIViewController> content_;
    Ref<NSArray> passthroughViews_;
    bool passesAnchorBar_ = false;
    objc::WeakRef<UIBarButtonItem> anchor_;
    NSUInteger arrowDirections_ = UIPopoverArrowDirectionAny;
    Ref<UIView> container_;
    bool visible_ = false;
};
