#include "uikit/UITableView.h"

#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "uikit/UIControl.h"
#include "uikit/PlatformText.h"
#include "uikit/UIMenuController.h"

#include <algorithm>
#include <optional>
#include <cmath>

namespace {

// Room around the rows of a grouped table: the rows are inset from both
// sides, and a section without a title still keeps a gap above and below.
constexpr CGFloat kGroupedInset = 10;
constexpr CGFloat kGroupedGap = 10;
constexpr CGFloat kGroupedHeaderHeight = 36;
constexpr CGFloat kPlainTitleHeight = 22;
// Section texts wrap at about this many points per character, in lines of this height.
constexpr CGFloat kCharacterWidth = 8;
constexpr CGFloat kLineHeight = 20;
constexpr CGFloat kTitleInset = 20;

// The actions a long press may offer, in menu order, with their titles.
struct EditAction {
    const char* selector;
    const char* title;
};
constexpr EditAction kEditActions[] = {
    { "cut:", "Cut" },
    { "copy:", "Copy" },
    { "paste:", "Paste" },
};

const SEL kNumberOfSections("numberOfSectionsInTableView:");
const SEL kNumberOfRows("tableView:numberOfRowsInSection:");
const SEL kCellForRow("tableView:cellForRowAtIndexPath:");
const SEL kTitleForHeader("tableView:titleForHeaderInSection:");
const SEL kTitleForFooter("tableView:titleForFooterInSection:");
const SEL kDidSelectRow("tableView:didSelectRowAtIndexPath:");
const SEL kAccessoryButtonTapped("tableView:accessoryButtonTappedForRowWithIndexPath:");
const SEL kShouldShowMenu("tableView:shouldShowMenuForRowAtIndexPath:");
const SEL kCanPerformAction("tableView:canPerformAction:forRowAtIndexPath:withSender:");

bool answers(const NSObject* object, SEL sel) { return object && object->respondsToSelector(sel); }

// Lines a text takes at a width: its own line breaks, and wrapping of each
// line by its number of characters.
CGFloat lineCount(const std::string& text, CGFloat width)
{
    const auto perLine = static_cast<size_t>(std::max<CGFloat>(1, std::floor(width / kCharacterWidth)));
    CGFloat lines = 0;
    size_t characters = 0;
    auto endLine = [&] {
        lines += static_cast<CGFloat>(std::max<size_t>(1, (characters + perLine - 1) / perLine));
        characters = 0;
    };
    for (unsigned char byte : text) {
        if (byte == '\n')
            endLine();
        else if ((byte & 0xC0) != 0x80)
            ++characters;
    }
    endLine();
    return lines;
}

// Sets a flag for the lifetime of a scope.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag)
        : flag_(flag)
    {
        flag_ = true;
    }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
};

} // namespace

QX_DEFINE_CLASS(UITableViewSectionLabel) { }

QX_DEFINE_CLASS(UITableView)
{
    b.method<&UITableView::initWithFrameStyle>("initWithFrame:style:");
    b.property<&UITableView::style_>("style", objc::ReadOnly);
    b.property<&UITableView::dataSource_, &UITableView::setDataSource>("dataSource");
    b.property<&UITableView::delegate_>("delegate");
    b.property<&UITableView::rowHeight_>("rowHeight");
    b.method<&UITableView::reloadData>("reloadData");
    b.method<&UITableView::dequeueReusableCellWithIdentifier>("dequeueReusableCellWithIdentifier:");
    b.method<&UITableView::numberOfSections>("numberOfSections");
    b.method<&UITableView::numberOfRowsInSection>("numberOfRowsInSection:");
    b.method<&UITableView::cellForRowAtIndexPath>("cellForRowAtIndexPath:");
    b.method<&UITableView::indexPathForCell>("indexPathForCell:");
    b.method<&UITableView::rectForRowAtIndexPath>("rectForRowAtIndexPath:");
    b.method<&UITableView::selectRowAtIndexPathAnimatedScrollPosition>("selectRowAtIndexPath:animated:scrollPosition:");
    b.method<&UITableView::deselectRowAtIndexPathAnimated>("deselectRowAtIndexPath:animated:");
    b.method<&UITableView::indexPathForSelectedRow>("indexPathForSelectedRow");
    b.property<&UITableView::contentOffset_, &UITableView::setContentOffset>("contentOffset");
    b.method("setContentOffset:animated:", [](UITableView* self, CGPoint offset, bool) { self->setContentOffset(offset); });
    b.method<&UITableView::contentSize>("contentSize");
    b.method<&UITableView::scrollToRowAtIndexPathAtScrollPosition>("scrollToRowAtIndexPath:atScrollPosition:animated:");
    b.method("visibleCells", [](UITableView* self) {
        auto cells = NSMutableArray::array();
        for (const auto& path : self->indexPathsForVisibleRows())
            cells->addObject(self->cellForRowAtIndexPath(path));
        return cells;
    });
    b.method("indexPathsForVisibleRows", [](UITableView* self) {
        auto paths = NSMutableArray::array();
        for (const auto& path : self->indexPathsForVisibleRows())
            paths->addObject(path);
        return paths;
    });
    b.method<&UITableView::tapRowAtIndexPath>("tapRowAtIndexPath:");
    b.method<&UITableView::tapAccessoryAtIndexPath>("tapAccessoryAtIndexPath:");
    b.method<&UITableView::longPressRowAtIndexPath>("longPressRowAtIndexPath:");
}

Ref<UITableViewSectionLabel> UITableViewSectionLabel::labelForSection(Kind kind, NSInteger section, NSString* text)
{
    auto label = make_object<UITableViewSectionLabel>();
    label->kind_ = kind;
    label->section_ = section;
    label->setText(text);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    auto font = kind == Kind::Header ? UIFont::boldSystemFontOfSize(17) : UIFont::systemFontOfSize(15);
    label->setFont(font);
    if (kind == Kind::Footer)
        label->setTextAlignment(NSTextAlignmentCenter);
    return label;
}

Ref<UITableView> UITableView::tableWithFrame(CGRect frame, NSInteger style)
{
    auto table = make_object<UITableView>();
    table->initWithFrameStyle(frame, style);
    return table;
}

UITableView* UITableView::initWithFrameStyle(CGRect frame, NSInteger style)
{
    initWithFrame(frame);
    style_ = style;
    return this;
}

void UITableView::setDataSource(NSObject* dataSource)
{
    if (dataSource == dataSource_.get())
        return;
    dataSource_ = dataSource;
    needsReload_ = true;
}

void UITableView::reloadData()
{
    // A data source that reloads while being asked gets a second pass once
    // the first is over, never a layout nested inside another.
    if (inLayout_) {
        reloadRequested_ = true;
        return;
    }
    Ref<UITableView> keep(this);
    do {
        reloadRequested_ = false;
        layoutCells();
    } while (reloadRequested_);
}

void UITableView::ensureLoaded()
{
    // Rows of a data source that has gone are not shown a moment longer.
    if (!inLayout_ && (needsReload_ || (loadedFromSource_ && !dataSource_)))
        reloadData();
}

void UITableView::returnCellsToPool()
{
    for (auto& section : sections_) {
        for (auto& row : section.rows) {
            // A cell handed out for two rows goes back once.
            if (!row.cell || row.cell->superview() != this)
                continue;
            row.cell->removeFromSuperview();
            if (NSString* identifier = row.cell->reuseIdentifier())
                reusePool_[identifier->str()].push_back(row.cell);
        }
        for (auto* label : { section.headerLabel.get(), section.footerLabel.get() }) {
            if (label)
                label->removeFromSuperview();
        }
    }
    sections_.clear();
}

void UITableView::layoutCells()
{
    ScopedFlag layingOut(inLayout_);
    needsReload_ = false;
    clearSelection();
    returnCellsToPool();
    if (auto* menu = UIMenuController::sharedMenuController(); menu->targetTableView() == this)
        menu->hide();

    // The data source may go away while it is asked (it closes its own
    // screen); it stays until the layout is over.
    Ref<NSObject> source(dataSource_.get());
    NSInteger sectionCount = 0;
    if (source)
        sectionCount = answers(source, kNumberOfSections) ? objc::send<NSInteger>(source, kNumberOfSections, this) : 1;
    sectionCount = std::max<NSInteger>(0, sectionCount);
    loadedFromSource_ = source != nullptr;
    // Every count first, so that the data source asking the table while it
    // makes cells hears the numbers it gave.
    rowCounts_.clear();
    for (NSInteger section = 0; section < sectionCount; ++section)
        rowCounts_.push_back(std::max<NSInteger>(0, objc::send<NSInteger>(source, kNumberOfRows, this, section)));

    for (NSInteger section = 0; section < sectionCount; ++section) {
        UITableViewSectionLayout layout;
        layout.section = section;
        layout.headerTitle = headerTitleForSection(section);
        layout.footerTitle = footerTitleForSection(section);
        if (layout.headerTitle) {
            layout.headerLabel = UITableViewSectionLabel::labelForSection(UITableViewSectionLabel::Kind::Header, section, layout.headerTitle);
            addSubview(layout.headerLabel);
        }
        for (NSInteger row = 0; row < rowCounts_[static_cast<size_t>(section)]; ++row) {
            UITableViewRowLayout rowLayout;
            rowLayout.indexPath = NSIndexPath::indexPathForRowInSection(row, section);
            rowLayout.cell = Ref<UITableViewCell>(objc::send<UITableViewCell*>(source, kCellForRow, this, rowLayout.indexPath));
            if (rowLayout.cell) {
                rowLayout.cell->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
                addSubview(rowLayout.cell);
            }
            layout.rows.push_back(std::move(rowLayout));
        }
        if (layout.footerTitle) {
            layout.footerLabel = UITableViewSectionLabel::labelForSection(UITableViewSectionLabel::Kind::Footer, section, layout.footerTitle);
            addSubview(layout.footerLabel);
        }
        sections_.push_back(std::move(layout));
    }
    layoutGeometry();
}

void UITableView::layoutGeometry()
{
    const bool grouped = style_ == UITableViewStyleGrouped;
    const CGFloat width = bounds().size.width;
    const CGFloat rowX = grouped ? kGroupedInset : 0;
    const CGFloat rowWidth = std::max<CGFloat>(0, width - 2 * rowX);
    const CGFloat titleWidth = std::max<CGFloat>(0, width - 2 * kTitleInset);
    CGFloat y = 0;
    for (auto& section : sections_) {
        section.headerRect = section.footerRect = CGRectZero;
        if (section.headerTitle) {
            const CGFloat height = grouped ? kGroupedHeaderHeight : kPlainTitleHeight;
            section.headerRect = CGRectMake(kTitleInset, y, titleWidth, height);
            y += height;
        } else if (grouped) {
            y += kGroupedGap;
        }
        for (auto& row : section.rows) {
            row.rect = CGRectMake(rowX, y, rowWidth, rowHeight_);
            y += rowHeight_;
        }
        if (section.footerTitle) {
            const CGFloat height = lineCount(section.footerTitle->str(), titleWidth) * kLineHeight + (grouped ? kGroupedGap : 0);
            section.footerRect = CGRectMake(kTitleInset, y, titleWidth, height);
            y += height;
        } else if (grouped) {
            y += kGroupedGap;
        }
    }
    contentSize_ = { width, y };
    positionViews();
}

void UITableView::syncGeometry()
{
    ensureLoaded();
    if (!inLayout_ && contentSize_.width != bounds().size.width)
        layoutGeometry();
}

void UITableView::positionViews()
{
    const CGFloat maxOffset = std::max<CGFloat>(0, contentSize_.height - bounds().size.height);
    contentOffset_ = { 0, std::clamp<CGFloat>(contentOffset_.y, 0, maxOffset) };
    auto place = [this](UIView* view, CGRect rect) {
        rect.origin.y -= contentOffset_.y;
        view->setFrame(rect);
    };
    for (auto& section : sections_) {
        if (section.headerLabel)
            place(section.headerLabel, section.headerRect);
        if (section.footerLabel)
            place(section.footerLabel, section.footerRect);
        for (auto& row : section.rows) {
            if (row.cell && row.cell->superview() == this) {
                place(row.cell, row.rect);
                row.cell->layoutContent();
            }
        }
    }
}

UITableViewRowLayout* UITableView::rowLayout(NSInteger section, NSInteger row)
{
    syncGeometry();
    if (section < 0 || row < 0 || static_cast<size_t>(section) >= sections_.size())
        return nullptr;
    auto& rows = sections_[static_cast<size_t>(section)].rows;
    return static_cast<size_t>(row) < rows.size() ? &rows[static_cast<size_t>(row)] : nullptr;
}

UITableViewRowLayout* UITableView::rowLayout(const NSIndexPath* indexPath)
{
    return indexPath ? rowLayout(indexPath->section(), indexPath->row()) : nullptr;
}

Ref<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(NSString* identifier)
{
    if (!identifier)
        return nullptr;
    auto pool = reusePool_.find(identifier->str());
    if (pool == reusePool_.end() || pool->second.empty())
        return nullptr;
    // First in, first out: after a reload each row tends to get the cell it had.
    Ref<UITableViewCell> cell = std::move(pool->second.front());
    pool->second.erase(pool->second.begin());
    objc::send<void>(cell, "prepareForReuse");
    return cell;
}

void UITableView::enqueueReusableCell(UITableViewCell* cell)
{
    if (!cell || cell->superview() == this)
        return;
    NSString* identifier = cell->reuseIdentifier();
    if (!identifier)
        return;
    auto& pool = reusePool_[identifier->str()];
    // A cell handed back twice is still one cell in the pool.
    if (std::find(pool.begin(), pool.end(), Ref<UITableViewCell>(cell)) == pool.end())
        pool.push_back(cell);
}

size_t UITableView::reusableCellCount(std::string_view identifier) const
{
    auto pool = reusePool_.find(std::string(identifier));
    return pool == reusePool_.end() ? 0 : pool->second.size();
}

NSInteger UITableView::numberOfSections()
{
    ensureLoaded();
    return static_cast<NSInteger>(rowCounts_.size());
}

NSInteger UITableView::numberOfRowsInSection(NSInteger section)
{
    ensureLoaded();
    if (section < 0 || static_cast<size_t>(section) >= rowCounts_.size())
        return 0;
    return rowCounts_[static_cast<size_t>(section)];
}

UITableViewCell* UITableView::cellForRowAtIndexPath(const NSIndexPath* indexPath)
{
    auto* row = rowLayout(indexPath);
    return row ? row->cell.get() : nullptr;
}

Ref<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell* cell)
{
    ensureLoaded();
    if (!cell)
        return nullptr;
    for (const auto& section : sections_) {
        for (const auto& row : section.rows) {
            if (row.cell == cell)
                return row.indexPath;
        }
    }
    return nullptr;
}

CGRect UITableView::rectForRowAtIndexPath(const NSIndexPath* indexPath)
{
    auto* row = rowLayout(indexPath);
    return row ? row->rect : CGRectZero;
}

Ref<NSString> UITableView::sectionTitle(SEL question, NSInteger section)
{
    Ref<NSObject> source(dataSource_.get());
    if (!answers(source, question))
        return nullptr;
    return Ref<NSString>(objc::send<NSString*>(source, question, this, section));
}

Ref<NSString> UITableView::headerTitleForSection(NSInteger section) { return sectionTitle(kTitleForHeader, section); }

Ref<NSString> UITableView::footerTitleForSection(NSInteger section) { return sectionTitle(kTitleForFooter, section); }

const std::vector<UITableViewSectionLayout>& UITableView::laidOutSections()
{
    syncGeometry();
    return sections_;
}

std::vector<Ref<NSIndexPath>> UITableView::indexPathsForVisibleRows()
{
    syncGeometry();
    std::vector<Ref<NSIndexPath>> visible;
    const CGFloat top = contentOffset_.y;
    const CGFloat bottom = top + bounds().size.height;
    for (const auto& section : sections_) {
        for (const auto& row : section.rows) {
            if (row.cell && row.rect.maxY() > top && row.rect.minY() < bottom)
                visible.push_back(row.indexPath);
        }
    }
    return visible;
}

void UITableView::setCellState(UITableViewCell* cell, const NSIndexPath* indexPath, bool selected, bool highlighted)
{
    if (!cell)
        return;
    Ref<UITableViewCell> keep(cell);
    const bool wasShowing = cell->showsSelection();
    const bool wasSelected = cell->isSelected();
    auto record = [&](UITableViewSelectionEvent::Kind kind) {
        selectionEvents_.push_back({ kind, indexPath->section(), indexPath->row(), cell->selectionStyle() });
    };
    if (highlighted != cell->isHighlighted())
        objc::send<void>(cell, "setHighlighted:animated:", highlighted, false);
    if (selected != wasSelected) {
        objc::send<void>(cell, "setSelected:animated:", selected, false);
        record(selected ? UITableViewSelectionEvent::Kind::Selected : UITableViewSelectionEvent::Kind::Deselected);
    }
    const bool showing = cell->showsSelection();
    if (!wasShowing && showing)
        record(UITableViewSelectionEvent::Kind::Highlighted);
    else if (wasShowing && !showing)
        record(UITableViewSelectionEvent::Kind::Unhighlighted);
}

void UITableView::clearSelection()
{
    if (!selected_)
        return;
    Ref<NSIndexPath> previous = std::move(selected_);
    if (auto* row = rowLayout(previous))
        setCellState(row->cell, previous, false, false);
}

void UITableView::selectRowAtIndexPathAnimatedScrollPosition(const NSIndexPath* indexPath, bool, NSInteger scrollPosition)
{
    auto* row = rowLayout(indexPath);
    if (!row) {
        if (!indexPath)
            clearSelection();
        return;
    }
    Ref<NSIndexPath> path = row->indexPath;
    Ref<UITableViewCell> cell = row->cell;
    const CGRect rect = row->rect;
    if (!sameIndexPath(selected_, path))
        clearSelection();
    selected_ = path;
    setCellState(cell, path, true, false);
    if (scrollPosition != UITableViewScrollPositionNone)
        scrollRectToVisible(rect, scrollPosition);
}

void UITableView::deselectRowAtIndexPathAnimated(const NSIndexPath* indexPath, bool)
{
    auto* row = rowLayout(indexPath);
    if (!row)
        return;
    if (sameIndexPath(selected_, row->indexPath))
        selected_ = nullptr;
    setCellState(row->cell, row->indexPath, false, false);
}

CGSize UITableView::contentSize()
{
    syncGeometry();
    return contentSize_;
}

void UITableView::setContentOffset(CGPoint offset)
{
    syncGeometry();
    contentOffset_ = offset;
    positionViews();
}

void UITableView::scrollRectToVisible(CGRect rect, NSInteger scrollPosition)
{
    const CGFloat height = bounds().size.height;
    CGFloat y = contentOffset_.y;
    switch (scrollPosition) {
    case UITableViewScrollPositionTop:
        y = rect.minY();
        break;
    case UITableViewScrollPositionMiddle:
        y = rect.minY() - (height - rect.size.height) / 2;
        break;
    case UITableViewScrollPositionBottom:
        y = rect.maxY() - height;
        break;
    default:
        if (rect.minY() < y)
            y = rect.minY();
        else if (rect.maxY() > y + height)
            y = rect.maxY() - height;
        break;
    }
    setContentOffset({ 0, y });
}

void UITableView::scrollToRowAtIndexPathAtScrollPosition(const NSIndexPath* indexPath, NSInteger scrollPosition, bool)
{
    if (auto* row = rowLayout(indexPath))
        scrollRectToVisible(row->rect, scrollPosition);
}

std::optional<UITableViewRowLayout> UITableView::rowForTouch(const NSIndexPath* indexPath)
{
    // A copy: scrolling and the delegate's answers may lay the rows out again.
    auto* row = rowLayout(indexPath);
    if (!row || !row->cell)
        return std::nullopt;
    UITableViewRowLayout touched = *row;
    scrollRectToVisible(touched.rect, UITableViewScrollPositionNone);
    return touched;
}

bool UITableView::tapRowAtIndexPath(const NSIndexPath* indexPath)
{
    Ref<UITableView> keep(this);
    auto row = rowForTouch(indexPath);
    if (!row)
        return false;
    Ref<NSIndexPath> path = row->indexPath;
    Ref<UITableViewCell> cell = row->cell;
    // Touch down colours the row; touch up selects it, and the colour stays
    // while it is selected.
    setCellState(cell, path, cell->isSelected(), true);
    if (!sameIndexPath(selected_, path))
        clearSelection();
    selected_ = path;
    setCellState(cell, path, true, false);
    Ref<NSObject> delegate(delegate_.get());
    if (answers(delegate, kDidSelectRow))
        objc::send<void>(delegate, kDidSelectRow, this, path);
    return true;
}

bool UITableView::tapAccessoryAtIndexPath(const NSIndexPath* indexPath)
{
    Ref<UITableView> keep(this);
    auto row = rowForTouch(indexPath);
    if (!row)
        return false;
    Ref<NSIndexPath> path = row->indexPath;
    Ref<UITableViewCell> cell = row->cell;
    if (UIView* view = cell->accessoryView()) {
        auto* control = objc_cast<UIControl>(view);
        if (!control || !control->isEnabled() || control->isHidden())
            return false;
        control->tap();
        return true;
    }
    switch (cell->accessoryType()) {
    case UITableViewCellAccessoryDetailDisclosureButton: {
        Ref<NSObject> delegate(delegate_.get());
        if (answers(delegate, kAccessoryButtonTapped))
            objc::send<void>(delegate, kAccessoryButtonTapped, this, path);
        return true;
    }
    case UITableViewCellAccessoryDisclosureIndicator:
    case UITableViewCellAccessoryCheckmark:
        return tapRowAtIndexPath(path);
    default:
        return false;
    }
}

bool UITableView::longPressRowAtIndexPath(const NSIndexPath* indexPath)
{
    Ref<UITableView> keep(this);
    auto* menu = UIMenuController::sharedMenuController();
    menu->hide();
    auto row = rowForTouch(indexPath);
    if (!row)
        return false;
    Ref<NSIndexPath> path = row->indexPath;
    Ref<NSObject> delegate(delegate_.get());
    if (!answers(delegate, kShouldShowMenu) || !objc::send<bool>(delegate, kShouldShowMenu, this, path))
        return false;
    if (!answers(delegate, kCanPerformAction))
        return false;
    std::vector<UIMenuController::Item> items;
    for (const auto& action : kEditActions) {
        if (objc::send<bool>(delegate, kCanPerformAction, this, SEL(action.selector), path, menu))
            items.push_back({ uikit::platformText(action.title), SEL(action.selector) });
    }
    if (items.empty())
        return false;
    menu->showForRowOfTableView(this, path, std::move(items));
    return true;
}
