// Reading the screen into a snapshot: where each bar and its items, each
// popover panel, the edit menu, an alert and a table's rows are, and what
// acting on each does. UISnapshotOutput.cpp writes what is read.

#include "uikit/UISnapshot.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "uikit/UIApplication.h"
#include "uikit/UIControl.h"
#include "uikit/PlatformText.h"
#include "uikit/UIMenuController.h"
#include "uikit/UITapGestureRecognizer.h"
#include "uikit/UITableView.h"

#include <algorithm>
#include <map>

namespace {

constexpr CGFloat barMargin = 6;
constexpr CGFloat defaultFixedSpace = 10;
constexpr CGFloat iconItemWidth = 44;
// Between the anchor item and the popover panel: the arrow's height.
constexpr CGFloat popoverArrowGap = 13;

std::string textOf(const NSString* text) { return text ? text->str() : std::string(); }

size_t characterCount(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

CGFloat textWidth(const std::string& text) { return std::max<CGFloat>(iconItemWidth, 20 + 9 * static_cast<CGFloat>(characterCount(text))); }

const char* systemItemName(NSInteger item)
{
    switch (item) {
    case UIBarButtonSystemItemDone:
        return "done";
    case UIBarButtonSystemItemCancel:
        return "cancel";
    case UIBarButtonSystemItemEdit:
        return "edit";
    case UIBarButtonSystemItemSave:
        return "save";
    case UIBarButtonSystemItemAdd:
        return "add";
    case UIBarButtonSystemItemFlexibleSpace:
        return "flexibleSpace";
    case UIBarButtonSystemItemFixedSpace:
        return "fixedSpace";
    case UIBarButtonSystemItemTrash:
        return "trash";
    case UIBarButtonSystemItemAction:
        return "action";
    default:
        return nullptr;
    }
}

const char* styleName(NSInteger style)
{
    switch (style) {
    case UIBarButtonItemStyleBordered:
        return "bordered";
    case UIBarButtonItemStyleDone:
        return "done";
    default:
        return "plain";
    }
}

// The width an item takes in a bar: its own width when set, its custom
// view's, an icon's, or its text's at about 9 points a character.
CGFloat barItemWidth(const UIBarButtonItem* item)
{
    if (item->width() > 0)
        return item->width();
    if (item->systemItem() == UIBarButtonSystemItemFixedSpace)
        return defaultFixedSpace;
    if (item->systemItem() == UIBarButtonSystemItemFlexibleSpace)
        return 0;
    if (auto* view = item->customView(); view && view->frame().size.width > 0)
        return view->frame().size.width;
    const NSInteger system = item->systemItem();
    if (!item->title() && (item->image() || system == UIBarButtonSystemItemAdd || system == UIBarButtonSystemItemTrash || system == UIBarButtonSystemItemAction))
        return iconItemWidth;
    return textWidth(item->visibleText());
}

CGFloat midX(CGRect r) { return r.origin.x + r.size.width / 2; }


const char* accessoryName(NSInteger type)
{
    switch (type) {
    case UITableViewCellAccessoryDisclosureIndicator:
        return "disclosureIndicator";
    case UITableViewCellAccessoryDetailDisclosureButton:
        return "detailDisclosureButton";
    case UITableViewCellAccessoryCheckmark:
        return "checkmark";
    default:
        return "none";
    }
}

const char* selectionStyleName(NSInteger style)
{
    switch (style) {
    case UITableViewCellSelectionStyleNone:
        return "none";
    case UITableViewCellSelectionStyleGray:
        return "gray";
    default:
        return "blue";
    }
}

struct PopoverPlacement {
    CGRect frame;
    std::string arrow;
};

// Centred under (or over) the anchor, inside the screen; up when the panel
// fits below the anchor, else down when that is allowed.
PopoverPlacement placePopover(const UIPopoverController* popover, const CGRect* anchor, CGSize screen)
{
    CGSize size = popover->popoverContentSize();
    size.width = std::min(size.width, screen.width);
    size.height = std::min(size.height, screen.height);
    if (!anchor) {
        return { CGRectMake((screen.width - size.width) / 2, (screen.height - size.height) / 2, size.width, size.height), "none" };
    }
    const CGFloat x = std::clamp(midX(*anchor) - size.width / 2, CGFloat(0), screen.width - size.width);
    const NSUInteger directions = popover->arrowDirections();
    const CGFloat below = anchor->maxY() + popoverArrowGap;
    const CGFloat above = anchor->minY() - popoverArrowGap - size.height;
    const bool fitsBelow = below + size.height <= screen.height;
    if ((directions & UIPopoverArrowDirectionUp) && (fitsBelow || !(directions & UIPopoverArrowDirectionDown)))
        return { CGRectMake(x, below, size.width, size.height), "up" };
    if (directions & UIPopoverArrowDirectionDown)
        return { CGRectMake(x, std::max<CGFloat>(0, above), size.width, size.height), "down" };
    return { CGRectMake(x, below, size.width, size.height), "up" };
}

template<class T>
objc::WeakRef<T> weakly(const T* object)
{
    return objc::WeakRef<T>(const_cast<T*>(object));
}

class Builder {
public:
    explicit Builder(CGSize screen)
        : screen_(screen)
    {
    }

    std::map<const UIBarButtonItem*, CGRect> itemFrames;
    // The popovers shown over the screen layers being read: what a touch
    // outside them reaches is marked "passthrough".
    std::vector<UIPopoverController*> popoversAbove;

    UIElement screenLayer(const char* role, UIViewController* controller)
    {
        UIElement layer;
        layer.role = role;
        addScreen(controller, layer);
        return layer;
    }

    UIElement popoverLayer(UIPopoverController* popover)
    {
        UIElement layer;
        layer.role = "popover";
        const CGRect* anchor = anchorFrame(popover);
        auto placement = placePopover(popover, anchor, screen_);
        layer.state["arrow"] = placement.arrow;
        addScreen(popover->contentViewController(), layer);
        layer.frame = popover->containerView() ? popover->containerView()->frameInRoot() : placement.frame;
        return layer;
    }

    UIElement alertLayer(UIAlertView* alert)
    {
        UIElement layer;
        layer.role = "alert";
        layer.text = textOf(alert->title());
        layer.frame = alert->frame();
        if (alert->message()) {
            UIElement message;
            message.role = "message";
            message.text = alert->message()->str();
            message.frame = CGRectMake(layer.frame.minX() + 12, layer.frame.minY() + 44, layer.frame.size.width - 24, layer.frame.size.height - 96);
            layer.children.push_back(std::move(message));
        }
        const auto titles = alert->buttonTitles();
        const CGFloat width = titles.empty() ? 0 : layer.frame.size.width / static_cast<CGFloat>(titles.size());
        for (size_t i = 0; i < titles.size(); ++i) {
            UIElement button;
            button.role = "button";
            button.text = titles[i];
            button.frame = CGRectMake(layer.frame.minX() + width * static_cast<CGFloat>(i), layer.frame.maxY() - 44, width, 44);
            button.onTap = [weak = weakly(alert), index = static_cast<NSInteger>(i)] {
                if (auto* live = weak.get()) {
                    Ref<UIAlertView> keep(live);
                    live->dismissWithClickedButtonIndexAnimated(index, true);
                }
            };
            layer.children.push_back(std::move(button));
        }
        return layer;
    }

    const CGRect* anchorFrame(const UIPopoverController* popover) const
    {
        auto found = itemFrames.find(popover->anchorItem());
        return found == itemFrames.end() ? nullptr : &found->second;
    }

private:
    // The platform's hit rule, for each popover on screen: a touch reaches
    // the element only when none of them catches it.
    template<class Passes>
    bool touchPassesEvery(const Passes& passes) const
    {
        return !popoversAbove.empty() && std::all_of(popoversAbove.begin(), popoversAbove.end(), passes);
    }

    static void markPassthrough(UIElement& element)
    {
        element.state["passthrough"] = true;
        for (auto& child : element.children)
            markPassthrough(child);
    }

    void markBarIfPassing(UIElement& bar, const std::vector<Ref<UIBarButtonItem>>& items) const
    {
        if (touchPassesEvery([&](const UIPopoverController* popover) { return popover->passesTouchToBar(items); }))
            markPassthrough(bar);
    }

    // A screen as a person sees it: the navigation bar, the top screen's
    // views, the toolbar.
    void addScreen(UIViewController* controller, UIElement& into)
    {
        if (!controller)
            return;
        UIView* view = controller->view();
        const CGRect area = view->frameInRoot();
        into.frame = area;
        auto* navigation = objc_cast<UINavigationController>(controller);
        UIViewController* top = navigation ? navigation->topViewController() : controller;
        if (top)
            into.text = textOf(top->navigationItem()->title());

        if (navigation) {
            // Hidden bars stay listed, marked hidden, as the views they are.
            into.children.push_back(hiddenIf(navigation->isNavigationBarHidden(), navigationBar(navigation, top, area)));
            if (top)
                addView(top->view(), false, into.children);
            if (top && top->toolbarItems() && top->toolbarItems()->count() > 0)
                into.children.push_back(hiddenIf(navigation->isToolbarHidden(), toolbar(top->toolbarItems(), area)));
            return;
        }
        UINavigationItem* item = controller->navigationItem();
        if (item->leftBarButtonItem() || !item->rightItems().empty())
            into.children.push_back(navigationBar(nullptr, controller, area));
        addView(view, false, into.children);
        if (controller->toolbarItems() && controller->toolbarItems()->count() > 0)
            into.children.push_back(toolbar(controller->toolbarItems(), area));
    }

    static UIElement hiddenIf(bool hidden, UIElement element)
    {
        if (hidden)
            markHidden(element);
        return element;
    }

    static void markHidden(UIElement& element)
    {
        element.hidden = true;
        for (auto& child : element.children)
            markHidden(child);
    }

    UIElement barItem(UIBarButtonItem* item, CGRect frame)
    {
        itemFrames[item] = frame;
        UIElement element;
        element.role = "barButton";
        element.text = item->visibleText();
        if (item->customView() && item->customView()->accessibilityLabel())
            element.label = item->customView()->accessibilityLabel()->str();
        else if (item->image() && item->image()->accessibilityLabel())
            element.label = item->image()->accessibilityLabel()->str();
        element.frame = frame;
        if (const char* system = systemItemName(item->systemItem()))
            element.state["systemItem"] = system;
        element.state["style"] = styleName(item->style());
        if (auto* control = objc_cast<UIControl>(item->customView()))
            element.state["enabled"] = control->isEnabled();
        element.onTap = [weak = weakly(item)] {
            if (auto* live = weak.get()) {
                Ref<UIBarButtonItem> keep(live);
                live->tap();
            }
        };
        return element;
    }

    UIElement navigationBar(UINavigationController* navigation, UIViewController* top, CGRect area)
    {
        UIElement bar;
        bar.role = "navigationBar";
        bar.frame = CGRectMake(area.minX(), area.minY(), area.size.width, UINavigationController::barHeight);
        if (!top)
            return bar;
        UINavigationItem* item = top->navigationItem();
        bar.text = textOf(item->title());
        std::vector<Ref<UIBarButtonItem>> barItems = item->rightItems();
        if (item->leftBarButtonItem())
            barItems.emplace_back(item->leftBarButtonItem());
        const CGFloat y = bar.frame.minY();
        const CGFloat height = bar.frame.size.height;
        if (UIBarButtonItem* left = item->leftBarButtonItem()) {
            bar.children.push_back(barItem(left, CGRectMake(area.minX() + barMargin, y, barItemWidth(left), height)));
        } else if (navigation && navigation->viewControllers().size() > 1) {
            // The way back to the screen below, titled after it.
            const auto& stack = navigation->viewControllers();
            UIElement back;
            back.role = "backButton";
            back.text = textOf(stack[stack.size() - 2]->navigationItem()->title());
            if (back.text.empty())
                back.text = uikit::platformText("Back");
            back.frame = CGRectMake(area.minX() + barMargin, y, std::max<CGFloat>(iconItemWidth, 30 + 9 * static_cast<CGFloat>(characterCount(back.text))), height);
            back.onTap = [weak = weakly(navigation)] {
                if (auto* live = weak.get()) {
                    Ref<UINavigationController> keep(live);
                    live->popViewControllerAnimated(true);
                }
            };
            bar.children.push_back(std::move(back));
        }
        // Right items go from the right edge inwards, the first rightmost.
        CGFloat right = area.maxX() - barMargin;
        for (const auto& rightItem : item->rightItems()) {
            const CGFloat width = barItemWidth(rightItem);
            right -= width;
            if (!rightItem->isSpace())
                bar.children.push_back(barItem(rightItem, CGRectMake(right, y, width, height)));
        }
        markBarIfPassing(bar, barItems);
        return bar;
    }

    UIElement toolbar(const NSArray* items, CGRect area)
    {
        UIElement bar;
        bar.role = "toolbar";
        bar.frame = CGRectMake(area.minX(), area.maxY() - UINavigationController::barHeight, area.size.width, UINavigationController::barHeight);
        const auto list = barItemsOf(items);
        CGFloat used = 0;
        size_t flexible = 0;
        for (const auto& item : list) {
            if (item->systemItem() == UIBarButtonSystemItemFlexibleSpace && item->width() <= 0)
                ++flexible;
            else
                used += barItemWidth(item);
        }
        const CGFloat free = std::max<CGFloat>(0, area.size.width - 2 * barMargin - used);
        const CGFloat share = flexible ? free / static_cast<CGFloat>(flexible) : 0;
        CGFloat x = area.minX() + barMargin;
        for (const auto& item : list) {
            const bool isFlexible = item->systemItem() == UIBarButtonSystemItemFlexibleSpace && item->width() <= 0;
            const CGFloat width = isFlexible ? share : barItemWidth(item);
            if (!item->isSpace())
                bar.children.push_back(barItem(item, CGRectMake(x, bar.frame.minY(), width, bar.frame.size.height)));
            x += width;
        }
        markBarIfPassing(bar, list);
        return bar;
    }

public:
    // The edit menu, floating over its row: above it when there is room,
    // else below; its items side by side.
    UIElement menuLayer(UIMenuController* menu)
    {
        UIElement layer;
        layer.role = "menu";
        UITableView* table = menu->targetTableView();
        CGRect row = table ? table->frameInRoot() : CGRectZero;
        if (table) {
            if (UITableViewCell* cell = table->cellForRowAtIndexPath(menu->targetIndexPath()))
                row = cell->frameInRoot();
        }
        const auto titles = menu->menuItemTitles();
        CGFloat width = 0;
        for (const auto& title : titles)
            width += textWidth(title);
        width = std::min(width, screen_.width);
        constexpr CGFloat height = 40;
        const CGFloat x = std::clamp(midX(row) - width / 2, CGFloat(0), screen_.width - width);
        const bool above = row.minY() - popoverArrowGap - height >= 0;
        layer.frame = CGRectMake(x, above ? row.minY() - popoverArrowGap - height : row.maxY() + popoverArrowGap, width, height);
        layer.state["arrow"] = above ? "down" : "up";
        CGFloat left = x;
        for (const auto& title : titles) {
            UIElement item;
            item.role = "menuItem";
            item.text = title;
            item.frame = CGRectMake(left, layer.frame.minY(), textWidth(title), height);
            left += item.frame.size.width;
            item.onTap = [title] {
                Ref<UIMenuController> keep(UIMenuController::sharedMenuController());
                keep->tapItem(title);
            };
            layer.children.push_back(std::move(item));
        }
        return layer;
    }

private:
    // Sections with their header and footer texts, each with its rows. Rows
    // scrolled out of view are listed too, marked "offscreen": acting on one
    // scrolls it into view first, as a person would.
    void describeTable(UITableView* table, UIElement& element)
    {
        const CGRect origin = table->frameInRoot();
        const CGPoint offset = table->contentOffset();
        auto toScreen = [&](CGRect rect) {
            return CGRectMake(origin.minX() + rect.minX() - offset.x, origin.minY() + rect.minY() - offset.y, rect.size.width, rect.size.height);
        };
        objc::WeakRef<UITableView> weakTable(table);
        for (const auto& section : table->laidOutSections()) {
            UIElement sectionElement;
            sectionElement.role = "section";
            sectionElement.text = textOf(section.headerTitle);
            sectionElement.hidden = element.hidden;
            if (section.footerTitle)
                sectionElement.state["footer"] = section.footerTitle->str();
            CGRect top = section.headerLabel ? section.headerRect : section.rows.empty() ? section.footerRect : section.rows.front().rect;
            CGRect bottom = section.footerLabel ? section.footerRect : section.rows.empty() ? top : section.rows.back().rect;
            sectionElement.frame = toScreen(CGRectMake(top.minX(), top.minY(), std::max(top.size.width, bottom.size.width), bottom.maxY() - top.minY()));
            for (const auto& row : section.rows) {
                if (!row.cell)
                    continue;
                UIElement cell;
                cell.frame = toScreen(row.rect);
                cell.hidden = element.hidden || row.cell->isHidden();
                describeCell(row.cell, cell);
                if (cell.frame.maxY() <= origin.minY() || cell.frame.minY() >= origin.maxY())
                    cell.state["offscreen"] = true;
                const NSInteger sectionIndex = row.indexPath->section();
                const NSInteger rowIndex = row.indexPath->row();
                auto onRow = [weakTable, sectionIndex, rowIndex](bool (UITableView::*act)(const NSIndexPath*)) {
                    return [weakTable, sectionIndex, rowIndex, act] {
                        if (auto* live = weakTable.get()) {
                            Ref<UITableView> keep(live);
                            (live->*act)(NSIndexPath::indexPathForRowInSection(rowIndex, sectionIndex).get());
                        }
                    };
                };
                cell.onTap = onRow(&UITableView::tapRowAtIndexPath);
                cell.onHold = onRow(&UITableView::longPressRowAtIndexPath);
                if (objc_cast<UISwitch>(row.cell->accessoryView()))
                    cell.onToggle = onRow(&UITableView::tapAccessoryAtIndexPath);
                sectionElement.children.push_back(std::move(cell));
            }
            element.children.push_back(std::move(sectionElement));
        }
    }

    void describeCell(const UITableViewCell* cell, UIElement& element)
    {
        element.role = cell->role();
        element.label = textOf(cell->accessibilityLabel());
        if (cell->textLabel())
            element.text = textOf(cell->textLabel()->text());
        if (cell->detailTextLabel() && cell->detailTextLabel()->text())
            element.state["detail"] = cell->detailTextLabel()->text()->str();
        element.state["accessory"] = accessoryName(cell->accessoryType());
        element.state["selectionStyle"] = selectionStyleName(cell->selectionStyle());
        if (cell->showsSelection())
            element.state["selected"] = true;
        if (UIView* accessory = cell->accessoryView())
            addView(accessory, element.hidden, element.children);
    }

    void addView(const UIView* view, bool hiddenAbove, std::vector<UIElement>& into)
    {
        if (!view)
            return;
        UIElement element;
        element.frame = view->frameInRoot();
        element.hidden = hiddenAbove || view->isHidden();
        view->describeElement(element);
        if (auto* table = objc_cast<UITableView>(view)) {
            describeTable(table, element);
            // What a page that scrolls the table itself needs to draw every row where it is.
            element.state["contentOffset"] = table->contentOffset().y;
            element.state["contentHeight"] = table->contentSize().height;
            element.scrollTo = [weak = weakly(table)](CGFloat offset) {
                auto* live = weak.get();
                if (!live)
                    return CGFloat(0);
                Ref<UITableView> keep(live);
                live->setContentOffset({ 0, offset });
                return live->contentOffset().y;
            };
        } else if (!view->describesSubviews()) {
            const auto subviews = view->subviews();
            for (const auto& subview : subviews)
                addView(subview, element.hidden, element.children);
        }
        if (touchPassesEvery([view](const UIPopoverController* popover) { return popover->passesTouchToView(view); }))
            markPassthrough(element);
        into.push_back(std::move(element));
    }

    CGSize screen_;
};

std::vector<UIElement> buildLayers(Builder& builder)
{
    auto* app = UIApplication::sharedApplication();
    std::vector<UIElement> layers;
    builder.popoversAbove = app->visiblePopovers();
    if (UIViewController* root = app->rootViewController())
        layers.push_back(builder.screenLayer("viewer", root));
    for (UIViewController* modal : app->modalStack())
        layers.push_back(builder.screenLayer("modal", modal));
    builder.popoversAbove.clear();
    for (UIPopoverController* popover : app->visiblePopovers())
        layers.push_back(builder.popoverLayer(popover));
    if (auto* menu = UIMenuController::sharedMenuController(); menu->isMenuVisible())
        layers.push_back(builder.menuLayer(menu));
    for (const auto& alert : app->visibleAlerts())
        layers.push_back(builder.alertLayer(alert));
    return layers;
}

// Puts each visible popover's panel where its anchor item is now.
void layOutPopovers(const Builder& builder, CGSize screen)
{
    for (UIPopoverController* popover : UIApplication::sharedApplication()->visiblePopovers()) {
        UIView* container = popover->containerView();
        if (!container)
            continue;
        const CGRect frame = placePopover(popover, builder.anchorFrame(popover), screen).frame;
        if (container->frame() == frame)
            continue;
        container->setFrame(frame);
        UIViewController* content = popover->contentViewController();
        if (content && content->isViewLoaded()) {
            content->view()->setFrame(container->bounds());
            if (auto* navigation = objc_cast<UINavigationController>(content))
                navigation->layoutTopView();
            content->setNeedsLayout(true);
        }
    }
}

} // namespace

void UIView::describeElement(UIElement& element) const
{
    element.role = role();
    element.label = textOf(accessibilityLabel());
    if (auto* label = objc_cast<UILabel>(this)) {
        element.text = textOf(label->text());
        element.style = UITextStyleJSON(label->font(), label->textColor(), label->textAlignment(), backgroundColor());
    }
    if (auto* button = objc_cast<UIButton>(this))
        element.text = textOf(button->title());
    // A view with a tap recognizer (a photo) takes a tap; a control's own tap wins.
    if (!recognizers_.empty() && isUserInteractionEnabled()) {
        element.onTap = [weak = weakly(this)] {
            if (auto* live = weak.get()) {
                Ref<UIView> keep(live);
                const auto recognizers = live->gestureRecognizers();
                for (const auto& recognizer : recognizers)
                    recognizer->recognizeTap();
            }
        };
    }
    if (auto* control = objc_cast<UIControl>(this)) {
        element.state["enabled"] = control->isEnabled() && control->isUserInteractionEnabled();
        element.onTap = [weak = weakly(control)] {
            if (auto* live = weak.get()) {
                Ref<UIControl> keep(live);
                live->tap();
            }
        };
    }
    if (auto* toggle = objc_cast<UISwitch>(this)) {
        element.state["on"] = toggle->isOn();
        element.onToggle = element.onTap;
    }
}

UISnapshot UISnapshot::take()
{
    const CGRect bounds = UIScreenBounds();
    auto* app = UIApplication::sharedApplication();
    app->layoutIfNeeded();
    {
        // A first reading finds where the bar items are, so the popover
        // panels can be placed at their anchors before the real one.
        Builder placing(bounds.size);
        buildLayers(placing);
        layOutPopovers(placing, bounds.size);
        app->layoutIfNeeded();
    }
    UISnapshot snapshot;
    snapshot.screen_ = bounds.size;
    snapshot.statusBarHidden_ = app->isStatusBarHidden();
    Builder builder(bounds.size);
    snapshot.layers_ = buildLayers(builder);
    return snapshot;
}
