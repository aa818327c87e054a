#include "uikit/UIViewController.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "uikit/UIApplication.h"

QX_DEFINE_CLASS(UIViewController)
{
    b.method<&UIViewController::initWithNibNameBundle>("initWithNibName:bundle:");
    b.method("init", [](UIViewController* self) { return objc::send<id>(self, "initWithNibName:bundle:", nullptr, nullptr); });
    b.method<&UIViewController::view>("view");
    b.method<&UIViewController::setView>("setView:");
    b.method<&UIViewController::isViewLoaded>("isViewLoaded");
    b.method<&UIViewController::loadView>("loadView");
    b.method<&UIViewController::viewDidLoad>("viewDidLoad");
    b.method<&UIViewController::viewDidUnload>("viewDidUnload");
    b.method<&UIViewController::viewWillAppear>("viewWillAppear:");
    b.method<&UIViewController::viewDidAppear>("viewDidAppear:");
    b.method<&UIViewController::viewWillDisappear>("viewWillDisappear:");
    b.method<&UIViewController::viewDidDisappear>("viewDidDisappear:");
    b.method<&UIViewController::viewDidLayoutSubviews>("viewDidLayoutSubviews");
    b.method<&UIViewController::didReceiveMemoryWarning>("didReceiveMemoryWarning");
    b.method<&UIViewController::shouldAutorotateToInterfaceOrientation>("shouldAutorotateToInterfaceOrientation:");
    b.method<&UIViewController::title>("title");
    b.method<&UIViewController::setTitle>("setTitle:");
    b.method<&UIViewController::navigationItem>("navigationItem");
    b.method<&UIViewController::navigationController>("navigationController");
    b.method<&UIViewController::toolbarItems>("toolbarItems");
    b.method<&UIViewController::setToolbarItems>("setToolbarItems:");
    b.method("setToolbarItems:animated:", [](UIViewController* self, NSArray* items, bool) { self->setToolbarItems(items); });
    b.property<&UIViewController::wantsFullScreenLayout_>("wantsFullScreenLayout");
    b.method<&UIViewController::contentSizeForViewInPopover>("contentSizeForViewInPopover");
    b.method<&UIViewController::setContentSizeForViewInPopover>("setContentSizeForViewInPopover:");
    b.method<&UIViewController::presentModalViewControllerAnimated>("presentModalViewController:animated:");
    b.method<&UIViewController::dismissModalViewControllerAnimated>("dismissModalViewControllerAnimated:");
    b.method<&UIViewController::presentedViewController>("presentedViewController");
    b.method<&UIViewController::presentingViewController>("presentingViewController");
    b.method<&UIViewController::addChildViewController>("addChildViewController:");
    b.method<&UIViewController::removeFromParentViewController>("removeFromParentViewController");
    b.method<&UIViewController::parentViewController>("parentViewController");
}

QX_DEFINE_CLASS(UINavigationController)
{
    b.method<&UINavigationController::initWithRootViewController>("initWithRootViewController:");
    b.method<&UINavigationController::pushViewControllerAnimated>("pushViewController:animated:");
    b.method<&UINavigationController::popViewControllerAnimated>("popViewControllerAnimated:");
    b.method<&UINavigationController::topViewController>("topViewController");
    b.method<&UINavigationController::topViewController>("visibleViewController");
    b.method("viewControllers", [](UINavigationController* self) {
        auto list = NSMutableArray::array();
        for (const auto& controller : self->viewControllers())
            list->addObject(controller);
        return list;
    });
    b.method<&UINavigationController::loadView>("loadView");
    b.method<&UINavigationController::viewWillAppear>("viewWillAppear:");
    b.method<&UINavigationController::viewDidAppear>("viewDidAppear:");
    b.method<&UINavigationController::viewWillDisappear>("viewWillDisappear:");
    b.method<&UINavigationController::viewDidDisappear>("viewDidDisappear:");
    b.method<&UINavigationController::isNavigationBarHidden>("isNavigationBarHidden");
    b.method<&UINavigationController::setNavigationBarHiddenAnimated>("setNavigationBarHidden:animated:");
    b.method("setNavigationBarHidden:", [](UINavigationController* self, bool hidden) { self->setNavigationBarHiddenAnimated(hidden, false); });
    b.method<&UINavigationController::isToolbarHidden>("isToolbarHidden");
    b.method<&UINavigationController::setToolbarHiddenAnimated>("setToolbarHidden:animated:");
    b.method("setToolbarHidden:", [](UINavigationController* self, bool hidden) { self->setToolbarHiddenAnimated(hidden, false); });
}

UIViewController::~UIViewController()
{
    if (view_)
        view_->removeFromSuperview();
}

UIViewController* UIViewController::initWithNibNameBundle(NSString*, id) { return this; }

UIView* UIViewController::view()
{
    if (!view_) {
        Ref<UIViewController> keep(this);
        send("loadView");
        if (!view_)
            loadView();
        UIApplication::sharedApplication()->registerViewController(this);
        needsLayout_ = true;
        send("viewDidLoad");
    }
    return view_;
}

void UIViewController::setView(UIView* view) { view_ = view; }

void UIViewController::loadView()
{
    auto view = UIView::viewWithFrame(UIScreenBounds());
    view->setBackgroundColor(UIColor::whiteColor().get());
    view_ = view;
}

void UIViewController::didReceiveMemoryWarning()
{
    if (!view_ || isViewOnScreen())
        return;
    view_->removeFromSuperview();
    view_ = nullptr;
    send("viewDidUnload");
}

bool UIViewController::isViewOnScreen() const
{
    return view_ && view_->isDescendantOfView(UIApplication::sharedApplication()->window());
}

void UIViewController::setTitle(NSString* title)
{
    title_ = title;
    navigationItem()->setTitle(title);
}

UINavigationItem* UIViewController::navigationItem()
{
    if (!navigationItem_) {
        navigationItem_ = UINavigationItem::item();
        navigationItem_->setTitle(title_);
    }
    return navigationItem_;
}

UINavigationController* UIViewController::navigationController() const { return navigationController_.get(); }

UIViewController* UIViewController::container() const
{
    UIViewController* container = navigationController_.get();
    if (!container)
        container = parent_.get();
    return container != this ? container : nullptr;
}

void UIViewController::setNavigationController(UINavigationController* controller) { navigationController_ = controller; }

void UIViewController::setPopoverController(UIPopoverController* popover) { popover_ = popover; }

UIPopoverController* UIViewController::popoverController() const { return popover_.get(); }

void UIViewController::beginAppearance(bool appearing, bool animated)
{
    send(appearing ? "viewWillAppear:" : "viewWillDisappear:", animated);
}

void UIViewController::endAppearance(bool appearing, bool animated)
{
    if (appearing)
        needsLayout_ = true;
    send(appearing ? "viewDidAppear:" : "viewDidDisappear:", animated);
}

void UIViewController::presentModalViewControllerAnimated(UIViewController* controller, bool animated)
{
    if (!controller || presented_ || controller == this)
        return;
    // A screen inside a navigation stack (or another container) presents
    // through it: the container is what the modal screen covers, and what
    // closes it again.
    if (UIViewController* container = this->container()) {
        objc::send(container, "presentModalViewController:animated:", controller, animated);
        return;
    }
    presented_ = controller;
    controller->presenting_ = this;
    UIView* window = UIApplication::sharedApplication()->window();
    UIView* view = controller->view();
    view->setFrame(window->bounds());
    controller->beginAppearance(true, animated);
    window->addSubview(view);
    controller->endAppearance(true, animated);
}

void UIViewController::dismissModalViewControllerAnimated(bool animated)
{
    // Sent to the presented screen, it closes itself through its presenter;
    // sent to a screen inside a presented stack, the stack closes.
    if (!presented_) {
        if (auto* presenter = presenting_.get())
            presenter->dismissModalViewControllerAnimated(animated);
        else if (UIViewController* container = this->container())
            objc::send(container, "dismissModalViewControllerAnimated:", animated);
        return;
    }
    Ref<UIViewController> closing = std::move(presented_);
    // Screens presented on top of the one closing go with it.
    if (closing->presented_)
        closing->dismissModalViewControllerAnimated(false);
    closing->beginAppearance(false, animated);
    if (closing->isViewLoaded())
        closing->view()->removeFromSuperview();
    closing->presenting_ = nullptr;
    closing->endAppearance(false, animated);
}

void UIViewController::addChildViewController(UIViewController* child)
{
    if (!child || child->parent_.get() == this)
        return;
    child->removeFromParentViewController();
    children_.emplace_back(child);
    child->parent_ = this;
}

void UIViewController::removeFromParentViewController()
{
    UIViewController* parent = parent_.get();
    if (!parent)
        return;
    Ref<UIViewController> keep(this);
    parent_ = nullptr;
    std::erase(parent->children_, keep);
}

UINavigationController* UINavigationController::initWithRootViewController(UIViewController* root)
{
    initWithNibNameBundle(nullptr, nullptr);
    if (root) {
        stack_.emplace_back(root);
        root->setNavigationController(this);
    }
    return this;
}

bool UINavigationController::showsToolbar() const
{
    auto* top = topViewController();
    return !toolbarHidden_ && top && top->toolbarItems() && top->toolbarItems()->count() > 0;
}

void UINavigationController::loadView()
{
    UIViewController::loadView();
    showTop();
}

void UINavigationController::setNavigationBarHiddenAnimated(bool hidden, bool)
{
    navigationBarHidden_ = hidden;
    layoutTopView();
}

void UINavigationController::setToolbarHiddenAnimated(bool hidden, bool)
{
    toolbarHidden_ = hidden;
    layoutTopView();
}

void UINavigationController::layoutTopView()
{
    auto* top = topViewController();
    if (!top || !isViewLoaded())
        return;
    CGRect bounds = view()->bounds();
    CGRect frame = bounds;
    if (!top->wantsFullScreenLayout()) {
        const CGFloat above = navigationBarHidden_ ? 0 : barHeight;
        const CGFloat below = showsToolbar() ? barHeight : 0;
        frame = CGRectMake(0, above, bounds.size.width, bounds.size.height - above - below);
    }
    top->view()->setFrame(frame);
    top->setNeedsLayout(true);
}

void UINavigationController::showTop()
{
    UIView* container = view();
    for (const auto& controller : stack_) {
        if (controller.get() != topViewController() && controller->isViewLoaded() && controller->view()->superview() == container)
            controller->view()->removeFromSuperview();
    }
    if (auto* top = topViewController()) {
        container->addSubview(top->view());
        layoutTopView();
    }
}

void UINavigationController::pushViewControllerAnimated(UIViewController* controller, bool animated)
{
    if (!controller)
        return;
    Ref<UIViewController> keep(this);
    UIViewController* previous = topViewController();
    const bool onScreen = isViewOnScreen();
    stack_.emplace_back(controller);
    controller->setNavigationController(this);
    if (!isViewLoaded())
        return;
    if (onScreen) {
        if (previous)
            previous->beginAppearance(false, animated);
        controller->beginAppearance(true, animated);
    }
    showTop();
    if (onScreen) {
        if (previous)
            previous->endAppearance(false, animated);
        controller->endAppearance(true, animated);
    }
}

UIViewController* UINavigationController::popViewControllerAnimated(bool animated)
{
    if (stack_.size() <= 1)
        return nullptr;
    Ref<UIViewController> keep(this);
    Ref<UIViewController> leaving = stack_.back();
    const bool onScreen = isViewOnScreen();
    stack_.pop_back();
    UIViewController* revealed = topViewController();
    if (onScreen) {
        leaving->beginAppearance(false, animated);
        revealed->beginAppearance(true, animated);
    }
    if (leaving->isViewLoaded())
        leaving->view()->removeFromSuperview();
    if (isViewLoaded())
        showTop();
    leaving->setNavigationController(nullptr);
    if (onScreen) {
        leaving->endAppearance(false, animated);
        revealed->endAppearance(true, animated);
    }
    return static_cast<UIViewController*>(leaving.leak()->autorelease());
}

void UINavigationController::viewWillAppear(bool animated)
{
    if (auto* top = topViewController())
        top->beginAppearance(true, animated);
}

void UINavigationController::viewDidAppear(bool animated)
{
    if (auto* top = topViewController())
        top->endAppearance(true, animated);
}

void UINavigationController::viewWillDisappear(bool animated)
{
    if (auto* top = topViewController())
        top->beginAppearance(false, animated);
}

void UINavigationController::viewDidDisappear(bool animated)
{
    if (auto* top = topViewController())
        top->endAppearance(false, animated);
}
