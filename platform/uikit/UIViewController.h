#pragma once

#include "runtime/WeakRef.h"
#include "uikit/Forward.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIView.h"

#include <vector>


// A screen: a root view loaded on first use, callbacks as it appears and
// goes, a navigation item and toolbar items, modal presentation.
//
// Every lifecycle call reaches the controller as a message (`loadView`,
// `viewDidLoad`, `viewWillAppear:`, `viewDidAppear:`, `viewWillDisappear:`,
// `viewDidDisappear:`, `viewDidLayoutSubviews`, `didReceiveMemoryWarning`,
// `viewDidUnload`, `dealloc`), so a subclass's method or a replacement
// installed by another library runs. A subclass written in C++ defines a
// member of the same name, registers it, and reaches the superclass's with
// objc::sendSuper.
class UIViewController : public NSObject {
    QX_OBJECT(UIViewController, NSObject)
public:
    // `init` reaches this with no nib and no bundle.
    UIViewController* initWithNibNameBundle(NSString* nib, id bundle);

    // Loads the view when it is not loaded yet (loadView, then viewDidLoad).
    UIView* view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(UIView* view);

    // The default lifecycle methods.
    void loadView();
    void viewDidLoad() { }
    void viewDidUnload() { }
    void viewWillAppear(bool) { }
    void viewDidAppear(bool) { }
    void viewWillDisappear(bool) { }
    void viewDidDisappear(bool) { }
    void viewDidLayoutSubviews() { }
    // Unloads the view when it is not on screen, then sends viewDidUnload.
    void didReceiveMemoryWarning();
    bool shouldAutorotateToInterfaceOrientation(NSInteger) const { return true; }

    NSString* title() const { return title_; }
    void setTitle(NSString* title);
    UINavigationItem* navigationItem();
    NSArray* toolbarItems() const { return toolbarItems_; }
    void setToolbarItems(NSArray* items) { toolbarItems_ = items; }
    UINavigationController* navigationController() const;

    // Whether the view, in a navigation controller, fills the whole screen
    // with the bars over it (a photo viewer) rather than sitting between them.
    bool wantsFullScreenLayout() const { return wantsFullScreenLayout_; }
    void setWantsFullScreenLayout(bool wants) { wantsFullScreenLayout_ = wants; }

    CGSize contentSizeForViewInPopover() const { return contentSizeForViewInPopover_; }
    void setContentSizeForViewInPopover(CGSize size) { contentSizeForViewInPopover_ = size; }

    // Modal presentation: the presented controller covers the screen until
    // it is dismissed; the presenter holds it.
    void presentModalViewControllerAnimated(UIViewController* controller, bool animated);
    void dismissModalViewControllerAnimated(bool animated);
    UIViewController* presentedViewController() const { return presented_; }
    UIViewController* presentingViewController() const { return presenting_.get(); }

    // Child controllers whose views the parent shows (a viewer's tiles).
    void addChildViewController(UIViewController* child);
    void removeFromParentViewController();
    const std::vector<Ref<UIViewController>>& childViewControllers() const { return children_; }
    UIViewController* parentViewController() const { return parent_.get(); }

    // The navigation controller or parent that shows this screen, if any.
    UIViewController* container() const;

    // Whether the view is loaded and part of the window's hierarchy.
    bool isViewOnScreen() const;

    // The toolkit's own appearance bookkeeping: sends the will/did pair.
    void beginAppearance(bool appearing, bool animated);
    void endAppearance(bool appearing, bool animated);
    bool needsLayout() const { return needsLayout_; }
    void setNeedsLayout(bool needs) { needsLayout_ = needs; }

    // Set by a navigation controller or popover that shows this controller.
    void setNavigationController(UINavigationController* controller);
    void setPopoverController(UIPopoverController* popover);
    UIPopoverController* popoverController() const;

protected:
    UIViewController() = default;
    ~UIViewController() override;

private:
    Ref<UIView> view_;
    Ref<NSString> title_;
    Ref<UINavigationItem> navigationItem_;
    Ref<NSArray> toolbarItems_;
    CGSize contentSizeForViewInPopover_ { 320, 480 };
    Ref<UIViewController> presented_;
    objc::WeakRef<UIViewController> presenting_;
    objc::WeakRef<UINavigationController> navigationController_;
    objc::WeakRef<UIPopoverController> popover_;
    std::vector<Ref<UIViewController>> children_;
    objc::WeakRef<UIViewController> parent_;
    bool needsLayout_ = true;
    bool wantsFullScreenLayout_ = false;
};

// A stack of screens with a navigation bar (and a toolbar when the top
// screen has toolbar items); only the top screen's view is shown.
class UINavigationController : public UIViewController {
    QX_OBJECT(UINavigationController, UIViewController)
public:
    static constexpr CGFloat barHeight = 44;

    UINavigationController* initWithRootViewController(UIViewController* root);

    void pushViewControllerAnimated(UIViewController* controller, bool animated);
    // Nil when only the root is left.
    UIViewController* popViewControllerAnimated(bool animated);
    UIViewController* topViewController() const { return stack_.empty() ? nullptr : stack_.back().get(); }
    const std::vector<Ref<UIViewController>>& viewControllers() const { return stack_; }
    // A hidden bar stays in the snapshot, marked hidden; its items cannot be tapped.
    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHiddenAnimated(bool hidden, bool animated);
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHiddenAnimated(bool hidden, bool animated);
    // Whether the top screen's toolbar items are shown.
    bool showsToolbar() const;

    void loadView();
    void viewWillAppear(bool animated);
    void viewDidAppear(bool animated);
    void viewWillDisappear(bool animated);
    void viewDidDisappear(bool animated);
    // Lays the top screen out between the bars.
    void layoutTopView();

protected:
    UINavigationController() = default;

private:
    void showTop();

    std::vector<Ref<UIViewController>> stack_;
    bool navigationBarHidden_ = false;
    bool toolbarHidden_ = false;
};
