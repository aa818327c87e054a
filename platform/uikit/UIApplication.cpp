#include "uikit/UIApplication.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "foundation/NSURL.h"
#include "foundation/SystemCommand.h"
#include "uikit/UIDevice.h"

#include <algorithm>
#include <cstdlib>

QX_DEFINE_CLASS(UIApplication)
{
    b.classMethod("sharedApplication", [](Class) -> id { return UIApplication::sharedApplication(); });
    b.method<&UIApplication::statusBarStyle>("statusBarStyle");
    b.method<&UIApplication::setStatusBarStyleAnimated>("setStatusBarStyle:animated:");
    b.method("setStatusBarStyle:", [](UIApplication* self, long style) { self->setStatusBarStyleAnimated(style, false); });
    b.method<&UIApplication::isStatusBarHidden>("isStatusBarHidden");
    b.method<&UIApplication::setStatusBarHiddenWithAnimation>("setStatusBarHidden:withAnimation:");
    b.method("setStatusBarHidden:", [](UIApplication* self, bool hidden) { self->setStatusBarHiddenWithAnimation(hidden, UIStatusBarAnimationNone); });
    b.method<&UIApplication::openURL>("openURL:");
}

QX_DEFINE_CLASS(UIAlertView)
{
    b.method<&UIAlertView::initWithTitleMessageDelegateCancelButtonTitle>("initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:");
    b.method<&UIAlertView::show>("show");
    b.method<&UIAlertView::dismissWithClickedButtonIndexAnimated>("dismissWithClickedButtonIndex:animated:");
    b.method<&UIAlertView::title>("title");
    b.method<&UIAlertView::message>("message");
    b.method<&UIAlertView::isVisible>("isVisible");
}

QX_DEFINE_CLASS(UIPasteboard)
{
    b.classMethod("generalPasteboard", [](Class) -> id { return UIPasteboard::generalPasteboard(); });
    b.method<&UIPasteboard::string>("string");
    b.method<&UIPasteboard::setString>("setString:");
}

QX_DEFINE_CLASS(UIPopoverController)
{
    b.method<&UIPopoverController::initWithContentViewController>("initWithContentViewController:");
    b.method<&UIPopoverController::contentViewController>("contentViewController");
    b.method<&UIPopoverController::passthroughViews>("passthroughViews");
    b.method<&UIPopoverController::setPassthroughViews>("setPassthroughViews:");
    b.method<&UIPopoverController::presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated>(
        "presentPopoverFromBarButtonItem:permittedArrowDirections:animated:");
    b.method<&UIPopoverController::isPopoverVisible>("isPopoverVisible");
    b.method<&UIPopoverController::dismissPopoverAnimated>("dismissPopoverAnimated:");
}

CGRect UIScreenBounds()
{
    auto* device = UIDevice::currentDevice();
    if (device->answersUserInterfaceIdiom() && device->userInterfaceIdiom() == UIUserInterfaceIdiomPad)
        return CGRectMake(0, 0, 768, 1024);
    return CGRectMake(0, 0, 320, 480);
}

UIApplication* UIApplication::sharedApplication()
{
    static UIApplication* application = make_object<UIApplication>().leak();
    return application;
}

UIView* UIApplication::window()
{
    if (!window_)
        window_ = UIView::viewWithFrame(UIScreenBounds());
    return window_;
}

void UIApplication::setRootViewController(UIViewController* controller)
{
    if (root_.get() == controller)
        return;
    if (root_) {
        root_->beginAppearance(false, false);
        if (root_->isViewLoaded())
            root_->view()->removeFromSuperview();
        root_->endAppearance(false, false);
    }
    root_ = controller;
    if (controller) {
        UIView* view = controller->view();
        view->setFrame(window()->bounds());
        controller->beginAppearance(true, false);
        window()->insertSubviewAtIndex(view, 0);
        controller->endAppearance(true, false);
    }
}

void UIApplication::setStatusBarStyleAnimated(NSInteger style, bool) { statusBarStyle_ = style; }

void UIApplication::setStatusBarHiddenWithAnimation(bool hidden, NSInteger) { statusBarHidden_ = hidden; }

bool UIApplication::openURL(const NSURL* url)
{
    if (!url)
        return false;
    std::string text = url->absoluteString()->str();
    openedURLs_.push_back(text);
    if (auto opener = foundation::findExecutable("xdg-open"))
        foundation::spawnDetached({ *opener, text });
    return true;
}

std::vector<UIViewController*> UIApplication::modalStack() const
{
    std::vector<UIViewController*> stack;
    for (UIViewController* c = root_ ? root_->presentedViewController() : nullptr; c; c = c->presentedViewController())
        stack.push_back(c);
    for (UIPopoverController* popover : visiblePopovers()) {
        for (UIViewController* c = popover->contentViewController()->presentedViewController(); c; c = c->presentedViewController())
            stack.push_back(c);
    }
    return stack;
}

std::vector<UIPopoverController*> UIApplication::visiblePopovers() const
{
    std::vector<UIPopoverController*> list;
    for (const auto& popover : popovers_) {
        if (auto* live = popover.get(); live && live->isPopoverVisible())
            list.push_back(live);
    }
    return list;
}

void UIApplication::popoverDidShow(UIPopoverController* popover)
{
    std::erase_if(popovers_, [](const auto& entry) { return !entry.get(); });
    popovers_.emplace_back(popover);
}

void UIApplication::popoverDidHide(UIPopoverController* popover)
{
    std::erase_if(popovers_, [popover](const auto& entry) { return !entry.get() || entry.get() == popover; });
}

void UIApplication::showAlert(UIAlertView* alert)
{
    if (std::find(alerts_.begin(), alerts_.end(), Ref<UIAlertView>(alert)) == alerts_.end())
        alerts_.emplace_back(alert);
}

void UIApplication::removeAlert(UIAlertView* alert) { std::erase(alerts_, Ref<UIAlertView>(alert)); }

namespace {

void collectVisible(UIViewController* controller, std::vector<UIViewController*>& list)
{
    if (!controller)
        return;
    list.push_back(controller);
    if (auto* navigation = objc_cast<UINavigationController>(controller))
        collectVisible(navigation->topViewController(), list);
    for (const auto& child : controller->childViewControllers()) {
        if (child->isViewOnScreen())
            collectVisible(child, list);
    }
    collectVisible(controller->presentedViewController(), list);
}

} // namespace

std::vector<UIViewController*> UIApplication::visibleViewControllers() const
{
    std::vector<UIViewController*> list;
    collectVisible(root_, list);
    for (UIPopoverController* popover : visiblePopovers())
        collectVisible(popover->contentViewController(), list);
    return list;
}

void UIApplication::layoutIfNeeded()
{
    for (UIViewController* controller : visibleViewControllers()) {
        if (!controller->needsLayout())
            continue;
        controller->setNeedsLayout(false);
        if (auto* navigation = objc_cast<UINavigationController>(controller))
            navigation->layoutTopView();
        controller->send("viewDidLayoutSubviews");
    }
}

void UIApplication::registerViewController(UIViewController* controller)
{
    std::erase_if(controllers_, [](const auto& entry) { return !entry.get(); });
    controllers_.emplace_back(controller);
}

void UIApplication::simulateMemoryWarning()
{
    std::vector<Ref<UIViewController>> live;
    for (const auto& entry : controllers_) {
        if (auto* controller = entry.get())
            live.emplace_back(controller);
    }
    for (const auto& controller : live)
        controller->send("didReceiveMemoryWarning");
}

void UIApplication::reset()
{
    alerts_.clear();
    for (UIPopoverController* popover : visiblePopovers())
        popover->dismissPopoverAnimated(false);
    popovers_.clear();
    if (root_ && root_->presentedViewController())
        root_->dismissModalViewControllerAnimated(false);
    setRootViewController(nullptr);
    window_ = nullptr;
    openedURLs_.clear();
    statusBarStyle_ = 0;
    statusBarHidden_ = false;
}

UIAlertView* UIAlertView::initWithTitleMessageDelegateCancelButtonTitle(NSString* title, NSString* message, id delegate,
    NSString* cancelButtonTitle, NSArray* otherButtonTitles)
{
    initWithFrame(CGRectMake(0, 0, 270, 140));
    title_ = title;
    message_ = message;
    delegate_ = delegate;
    cancelTitle_ = cancelButtonTitle;
    if (otherButtonTitles) {
        for (const auto& object : *otherButtonTitles) {
            if (auto* text = objc_cast<NSString>(object.get()))
                otherTitles_.push_back(text->str());
        }
    }
    return this;
}

std::vector<std::string> UIAlertView::buttonTitles() const
{
    std::vector<std::string> titles;
    if (cancelTitle_)
        titles.push_back(cancelTitle_->str());
    titles.insert(titles.end(), otherTitles_.begin(), otherTitles_.end());
    return titles;
}

void UIAlertView::show()
{
    visible_ = true;
    CGRect screen = UIScreenBounds();
    CGRect f = frame();
    setFrame(CGRectMake((screen.size.width - f.size.width) / 2, (screen.size.height - f.size.height) / 2, f.size.width, f.size.height));
    UIApplication::sharedApplication()->showAlert(this);
}

void UIAlertView::dismissWithClickedButtonIndexAnimated(NSInteger index, bool)
{
    Ref<UIAlertView> keep(this);
    visible_ = false;
    UIApplication::sharedApplication()->removeAlert(this);
    static const SEL clicked("alertView:clickedButtonAtIndex:");
    if (id delegate = delegate_.get(); delegate && delegate->respondsToSelector(clicked))
        objc::send(delegate, clicked, this, index);
}

UIPasteboard* UIPasteboard::generalPasteboard()
{
    static UIPasteboard* pasteboard = make_object<UIPasteboard>().leak();
    return pasteboard;
}

void UIPasteboard::setString(NSString* text)
{
    string_ = text;
    if (!text)
        return;
    // Mirror to the desktop clipboard where one is running.
    if (std::getenv("WAYLAND_DISPLAY")) {
        if (auto tool = foundation::findExecutable("wl-copy")) {
            foundation::spawnDetached({ *tool }, text->str());
            return;
        }
    }
    if (std::getenv("DISPLAY")) {
        if (auto tool = foundation::findExecutable("xclip"))
            foundation::spawnDetached({ *tool, "-selection", "clipboard" }, text->str());
    }
}

UIPopoverController* UIPopoverController::initWithContentViewController(UIViewController* content)
{
    content_ = content;
    return this;
}

UIPopoverController::~UIPopoverController()
{
    if (container_)
        container_->removeFromSuperview();
}

CGSize UIPopoverController::popoverContentSize() const
{
    UIViewController* shown = content_;
    if (auto* navigation = objc_cast<UINavigationController>(shown); navigation && navigation->topViewController())
        shown = navigation->topViewController();
    return shown ? shown->contentSizeForViewInPopover() : CGSize { 320, 480 };
}

void UIPopoverController::presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(UIBarButtonItem* item, NSUInteger directions, bool animated)
{
    if (!content_)
        return;
    Ref<UIPopoverController> keep(this);
    anchor_ = item;
    arrowDirections_ = directions;
    if (visible_)
        return;
    // The bar the item sits in stays usable while the popover shows.
    passesAnchorBar_ = item != nullptr;
    content_->setPopoverController(this);
    if (!container_)
        container_ = UIView::viewWithFrame(CGRectZero);
    UIView* view = content_->view();
    CGSize size = popoverContentSize();
    container_->setFrame(CGRectMake(0, 0, size.width, size.height));
    view->setFrame(container_->bounds());
    content_->beginAppearance(true, animated);
    container_->addSubview(view);
    UIApplication::sharedApplication()->window()->addSubview(container_);
    visible_ = true;
    UIApplication::sharedApplication()->popoverDidShow(this);
    content_->endAppearance(true, animated);
}

void UIPopoverController::hide(bool animated)
{
    if (!visible_)
        return;
    Ref<UIPopoverController> keep(this);
    visible_ = false;
    content_->beginAppearance(false, animated);
    container_->removeFromSuperview();
    UIApplication::sharedApplication()->popoverDidHide(this);
    content_->endAppearance(false, animated);
}

void UIPopoverController::setPassthroughViews(NSArray* views)
{
    passthroughViews_ = views;
    passesAnchorBar_ = false;
}

bool UIPopoverController::passesTouchToView(const UIView* view) const
{
    if (!view || !passthroughViews_)
        return false;
    for (const auto& object : *passthroughViews_) {
        auto* passthrough = objc_cast<UIView>(object.get());
        if (passthrough && view->isDescendantOfView(passthrough))
            return true;
    }
    return false;
}

bool UIPopoverController::passesTouchToBar(const std::vector<Ref<UIBarButtonItem>>& barItems) const
{
    const UIBarButtonItem* anchor = anchor_.get();
    return passesAnchorBar_ && anchor
        && std::any_of(barItems.begin(), barItems.end(), [anchor](const auto& item) { return item.get() == anchor; });
}

void UIPopoverController::dismissPopoverAnimated(bool animated) { hide(animated); }

void UIPopoverController::closeFromOutside() { hide(true); }
