#include "uikit/UIDriver.h"

#include "foundation/NSArray.h"
#include "foundation/NSRunLoop.h"
#include "foundation/NSString.h"
#include "foundation/QuotedText.h"
#include "uikit/UIApplication.h"
#include "uikit/UIMenuController.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

namespace {

constexpr size_t visibleListLimit = 12;

struct Match {
    const UIElement* element;
    std::function<void()> hook;
};

std::string number(CGFloat value)
{
    std::ostringstream out;
    out << std::round(value * 10) / 10;
    return out.str();
}

std::string describeMatch(const UIElement& element)
{
    const CGRect& f = element.frame;
    return element.role + " \"" + element.name() + "\" at (" + number(f.origin.x) + ", " + number(f.origin.y) + ", "
        + number(f.size.width) + "×" + number(f.size.height) + ")";
}

std::string describeLayer(const UIElement& layer)
{
    std::string kind = layer.role == "viewer" ? "viewer" : layer.role == "modal" ? "modal screen" : layer.role;
    return layer.text.empty() ? "the " + kind : "the " + kind + " \"" + layer.text + "\"";
}

bool named(const UIElement& element, std::string_view text) { return element.text == text || element.label == text; }

const std::function<void()>* switchWithin(const UIElement& element)
{
    for (const auto& child : element.children) {
        if (child.hidden)
            continue;
        if (child.onToggle && child.isEnabled())
            return &child.onToggle;
        if (auto* found = switchWithin(child))
            return found;
    }
    return nullptr;
}

// Every visible element answering to `text` that can take the action;
// disabled ones are counted apart, for the message.
template<class Pick>
void collect(const UIElement& element, std::string_view text, const Pick& pick, std::vector<Match>& found, size_t& disabled)
{
    if (element.hidden)
        return;
    if (named(element, text)) {
        if (auto hook = pick(element)) {
            if (element.isEnabled())
                found.push_back({ &element, std::move(hook) });
            else
                ++disabled;
        }
    }
    for (const auto& child : element.children)
        collect(child, text, pick, found, disabled);
}

void collectNames(const UIElement& element, std::vector<std::string>& names, std::set<std::string>& seen)
{
    if (element.hidden)
        return;
    const std::string& name = element.name();
    if (!name.empty() && seen.insert(name).second)
        names.push_back(name);
    for (const auto& child : element.children)
        collectNames(child, names, seen);
}

std::string visibleList(const UIElement& layer)
{
    std::vector<std::string> names;
    std::set<std::string> seen;
    collectNames(layer, names, seen);
    if (names.empty())
        return "nothing with a name";
    std::string list;
    for (size_t i = 0; i < names.size() && i < visibleListLimit; ++i)
        list += (i ? ", \"" : "\"") + names[i] + "\"";
    if (names.size() > visibleListLimit)
        list += ", ...";
    return list;
}

void hideMenu() { UIMenuController::sharedMenuController()->hide(); }

bool menuShows() { return UIMenuController::sharedMenuController()->isMenuVisible(); }

void closeVisiblePopovers()
{
    std::vector<Ref<UIPopoverController>> open;
    for (UIPopoverController* popover : UIApplication::sharedApplication()->visiblePopovers())
        open.emplace_back(popover);
    for (const auto& popover : open)
        popover->closeFromOutside();
}

} // namespace

void UIDriver::settle()
{
    NSRunLoop::mainRunLoop().runUntilIdle();
    UIApplication::sharedApplication()->layoutIfNeeded();
}

UISnapshot UIDriver::snapshot()
{
    settle();
    return UISnapshot::take();
}

void UIDriver::perform(std::function<void()> task)
{
    NSRunLoop::mainRunLoop().perform(std::move(task));
    settle();
}

namespace {

// The reveal hook of the first view in `element` that has one for `text`.
std::function<void()> revealerWithin(const UIElement& element, std::string_view text)
{
    if (element.hidden)
        return {};
    if (element.reveal)
        return [reveal = element.reveal, name = std::string(text)] { reveal(name); };
    for (const auto& child : element.children)
        if (auto found = revealerWithin(child, text))
            return found;
    return {};
}

} // namespace

void UIDriver::act(Action action, std::string_view text)
{
    act(action, text, true);
}

void UIDriver::act(Action action, std::string_view text, bool mayScroll)
{
    const UISnapshot shot = snapshot();
    const auto& layers = shot.layers();
    const char* what = action == Action::Tap ? "control" : action == Action::Toggle ? "switch in a row" : "row";
    const std::string quotedText = foundation::quotedText(text, '"');
    if (layers.empty())
        throw UIDriverError("no " + std::string(what) + " " + quotedText + " on screen; the screen is empty");

    auto pick = [action](const UIElement& element) -> std::function<void()> {
        switch (action) {
        case Action::Tap:
            return element.onTap;
        case Action::Hold:
            return element.onHold;
        case Action::Toggle:
            if (element.onToggle)
                return element.onToggle;
            if (auto* inner = switchWithin(element))
                return *inner;
            return {};
        }
        return {};
    };

    const UIElement& top = layers.back();
    // Popovers on top leave reachable what they let a touch pass to on the
    // screen under them (the bar they came from, their passthrough views);
    // a touch on anything else there closes them.
    size_t firstPopover = layers.size();
    while (firstPopover > 0 && layers[firstPopover - 1].role == "popover")
        --firstPopover;
    const UIElement* underPopovers = firstPopover > 0 && firstPopover < layers.size() ? &layers[firstPopover - 1] : nullptr;
    std::vector<Match> found;
    size_t disabled = 0;
    for (size_t i = std::min(firstPopover, layers.size() - 1); i < layers.size(); ++i)
        collect(layers[i], text, pick, found, disabled);
    if (underPopovers) {
        auto pickPassing = [&pick](const UIElement& element) -> std::function<void()> {
            return element.state.contains("passthrough") ? pick(element) : std::function<void()>();
        };
        collect(*underPopovers, text, pickPassing, found, disabled);
    }
    if (found.size() == 1) {
        perform(found.front().hook);
        return;
    }
    if (found.size() > 1) {
        std::string message = std::to_string(found.size()) + " " + what + "s " + quotedText + " on screen: ";
        for (size_t i = 0; i < found.size(); ++i)
            message += (i ? "; " : "") + describeMatch(*found[i].element);
        throw UIDriverError(message);
    }
    if (disabled)
        throw UIDriverError(std::string(what) + " " + quotedText + " is disabled");
    // A person scrolls a long list to what is not on screen yet, then looks again.
    if (mayScroll && found.empty()) {
        if (auto reveal = revealerWithin(top, text)) {
            perform(reveal);
            return act(action, text, false);
        }
    }
    if (underPopovers) {
        std::vector<Match> beside;
        size_t besideDisabled = 0;
        collect(*underPopovers, text, pick, beside, besideDisabled);
        if (!beside.empty()) {
            perform(closeVisiblePopovers);
            return;
        }
    }
    // Not on the top layer: say so when a layer below has it. The edit menu
    // is no cover, though: a touch anywhere beside it only hides it.
    for (size_t i = layers.size() - 1; i-- > 0;) {
        std::vector<Match> below;
        size_t belowDisabled = 0;
        collect(layers[i], text, pick, below, belowDisabled);
        if (!below.empty() && top.role == "menu") {
            perform(hideMenu);
            return;
        }
        if (!below.empty())
            throw UIDriverError(std::string(what) + " " + quotedText + " is covered by " + describeLayer(top) + "; visible: " + visibleList(top));
    }
    throw UIDriverError("no " + std::string(what) + " " + quotedText + " on screen; visible: " + visibleList(top));
}

void UIDriver::tap(std::string_view text) { act(Action::Tap, text); }

namespace {

// Every visible element of `element` that has the hook `has`.
void collectWith(const UIElement& element, bool (*has)(const UIElement&), std::vector<const UIElement*>& found)
{
    if (element.hidden)
        return;
    if (has(element))
        found.push_back(&element);
    for (const auto& child : element.children)
        collectWith(child, has, found);
}

// The one element of the layer with the hook; `what` names such elements in the errors.
const UIElement& oneWith(const UIElement* layer, bool (*has)(const UIElement&), const std::string& what)
{
    std::vector<const UIElement*> found;
    if (layer)
        collectWith(*layer, has, found);
    if (found.empty())
        throw UIDriverError("no " + what + " on screen");
    if (found.size() > 1) {
        std::string message = std::to_string(found.size()) + " " + what + "s on screen: ";
        for (size_t i = 0; i < found.size(); ++i)
            message += (i ? "; " : "") + describeMatch(*found[i]);
        throw UIDriverError(message);
    }
    return *found.front();
}

} // namespace

void UIDriver::type(std::string_view text)
{
    const UISnapshot shot = snapshot();
    const auto& layers = shot.layers();
    const UIElement& field = oneWith(layers.empty() ? nullptr : &layers.back(),
        [](const UIElement& element) { return bool(element.onEdit); }, "editable text");
    perform([edit = field.onEdit, typed = std::string(text)] { edit(typed); });
}

CGFloat UIDriver::scroll(CGFloat offset)
{
    const UISnapshot shot = snapshot();
    const auto& layers = shot.layers();
    auto screen = std::find_if(layers.rbegin(), layers.rend(), [](const UIElement& layer) { return layer.role != "menu"; });
    const UIElement& list = oneWith(screen == layers.rend() ? nullptr : &*screen,
        [](const UIElement& element) { return bool(element.scrollTo); }, "list to scroll");
    CGFloat stopped = 0;
    perform([&, scrollTo = list.scrollTo] { stopped = scrollTo(offset); });
    return stopped;
}

void UIDriver::toggle(std::string_view rowText) { act(Action::Toggle, rowText); }

void UIDriver::hold(std::string_view rowText) { act(Action::Hold, rowText); }

void UIDriver::back()
{
    settle();
    auto* app = UIApplication::sharedApplication();
    if (!app->visibleAlerts().empty())
        throw UIDriverError("cannot go back: an alert covers the screen");
    // The back button lies beside the edit menu: touching it hides the menu.
    if (menuShows()) {
        perform(hideMenu);
        return;
    }
    UIViewController* top = app->rootViewController();
    std::string layer = "viewer";
    if (auto modals = app->modalStack(); !modals.empty()) {
        top = modals.back();
        layer = "modal screen";
    }
    if (auto popovers = app->visiblePopovers(); !popovers.empty()) {
        top = popovers.back()->contentViewController();
        layer = "popover";
    }
    auto* navigation = objc_cast<UINavigationController>(top);
    if (!navigation || navigation->viewControllers().size() < 2)
        throw UIDriverError("cannot go back: the " + layer + " on top shows a single screen");
    perform([weak = objc::WeakRef<UINavigationController>(navigation)] {
        if (auto* live = weak.get()) {
            Ref<UINavigationController> keep(live);
            live->popViewControllerAnimated(true);
        }
    });
}

void UIDriver::tapOutside()
{
    settle();
    // The menu is the topmost of the two: a touch beside it hides it first.
    if (menuShows()) {
        perform(hideMenu);
        return;
    }
    if (UIApplication::sharedApplication()->visiblePopovers().empty())
        throw UIDriverError("nothing on screen to tap outside of: no edit menu or popover");
    perform(closeVisiblePopovers);
}

void UIDriver::memoryWarning()
{
    perform([] { UIApplication::sharedApplication()->simulateMemoryWarning(); });
}
