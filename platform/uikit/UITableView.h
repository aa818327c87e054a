#pragma once

#include "foundation/Forward.h"
#include "runtime/WeakRef.h"
#include "uikit/NSIndexPath.h"
#include "uikit/UITableViewCell.h"
#include "uikit/UIView.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

enum UITableViewStyle : NSInteger {
    UITableViewStylePlain = 0,
    UITableViewStyleGrouped = 1,
};

enum UITableViewScrollPosition : NSInteger {
    UITableViewScrollPositionNone = 0, // as little as brings the row into view
    UITableViewScrollPositionTop = 1,
    UITableViewScrollPositionMiddle = 2,
    UITableViewScrollPositionBottom = 3,
};

// A section's header or footer text as the table shows it.
class UITableViewSectionLabel : public UILabel {
    QX_OBJECT(UITableViewSectionLabel, UILabel)
public:
    enum class Kind {
        Header,
        Footer,
    };

    static Ref<UITableViewSectionLabel> labelForSection(Kind kind, NSInteger section, NSString* text);

    Kind kind() const { return kind_; }
    NSInteger section() const { return section_; }

    std::string role() const override { return kind_ == Kind::Header ? "header" : "footer"; }

protected:
    UITableViewSectionLabel() = default;

private:
    Kind kind_ = Kind::Header;
    NSInteger section_ = 0;
};

// One laid-out row. `rect` is in the content's coordinates (before
// scrolling); the cell's frame is in the table's. Both follow the table's
// width when it changes.
struct UITableViewRowLayout {
    Ref<NSIndexPath> indexPath;
    Ref<UITableViewCell> cell; // nil when the data source gave no cell
    CGRect rect;
};

// One laid-out section: its header and footer texts as the data source gave
// them (nil for none) with their labels and rectangles (content
// coordinates, as the rows'), and its rows top to bottom.
struct UITableViewSectionLayout {
    NSInteger section = 0;
    Ref<NSString> headerTitle;
    Ref<NSString> footerTitle;
    Ref<UITableViewSectionLabel> headerLabel;
    Ref<UITableViewSectionLabel> footerLabel;
    CGRect headerRect;
    CGRect footerRect;
    std::vector<UITableViewRowLayout> rows;
};

// What a person would have seen of a row's selection, in order: the
// colour coming on and going off, and the row being selected and deselected.
struct UITableViewSelectionEvent {
    enum class Kind {
        Highlighted,
        Selected,
        Deselected,
        Unhighlighted,
    };
    Kind kind;
    NSInteger section;
    NSInteger row;
    // The cell's selection style when it happened.
    NSInteger selectionStyle;
    friend bool operator==(const UITableViewSelectionEvent&, const UITableViewSelectionEvent&) = default;
};

// A scrolling list of rows in sections, filled by a data source and
// reporting to a delegate. Both are weak links, and everything the table
// asks of them goes through messages, so a screen answers with registered
// methods and optional questions are probed with respondsToSelector:.
//
// Tables here are small: a reload builds the cell of every row, top to
// bottom, and keeps them as subviews. Cells come from the data source,
// which takes them from a pool per reuse identifier; a reload puts every
// cell back into its pool and forgets every index path it held (the
// selection and the menu's row included).
class UITableView : public UIView {
    QX_OBJECT(UITableView, UIView)
public:
    static constexpr CGFloat defaultRowHeight = 44;

    static Ref<UITableView> tableWithFrame(CGRect frame, NSInteger style);

    UITableView* initWithFrameStyle(CGRect frame, NSInteger style);

    NSInteger style() const { return style_; }
    NSObject* dataSource() const { return dataSource_.get(); }
    void setDataSource(NSObject* dataSource);
    NSObject* delegate() const { return delegate_.get(); }
    void setDelegate(NSObject* delegate) { delegate_ = delegate; }
    CGFloat rowHeight() const { return rowHeight_; }

    // Asks the data source again for everything and lays the rows out.
    void reloadData();
    // Whether the table has not asked its data source yet (or was given a
    // new one since); its queries then load it first. A table whose data
    // source has gone reloads as well, and shows nothing.
    bool needsReload() const { return needsReload_; }

    // A cell that went back to the pool of this identifier, prepared for
    // reuse, or nil when the pool is empty. The same object each time the
    // only cell of an identifier comes back.
    Ref<UITableViewCell> dequeueReusableCellWithIdentifier(NSString* identifier);
    size_t reusableCellCount(std::string_view identifier) const;
    // Takes back a cell the data source handed out that the table is not
    // showing (one read and done with, as a cell scrolled off screen is), so
    // the next row of its identifier reuses it. Cells without an identifier
    // and cells on the table stay as they are.
    void enqueueReusableCell(UITableViewCell* cell);

    NSInteger numberOfSections();
    NSInteger numberOfRowsInSection(NSInteger section);
    // The cell shown for the row, or nil.
    UITableViewCell* cellForRowAtIndexPath(const NSIndexPath* indexPath);
    Ref<NSIndexPath> indexPathForCell(const UITableViewCell* cell);
    // The row's rectangle in content coordinates; zero for an unknown row.
    CGRect rectForRowAtIndexPath(const NSIndexPath* indexPath);

    // What the data source answers now; nil for none.
    Ref<NSString> headerTitleForSection(NSInteger section);
    Ref<NSString> footerTitleForSection(NSInteger section);

    // Every section as laid out by the last reload, for the snapshot.
    const std::vector<UITableViewSectionLayout>& laidOutSections();
    // The rows whose cells are at least partly inside the table's bounds.
    std::vector<Ref<NSIndexPath>> indexPathsForVisibleRows();

    // Selection made in code: no delegate messages.
    void selectRowAtIndexPathAnimatedScrollPosition(const NSIndexPath* indexPath, bool animated, NSInteger scrollPosition);
    void deselectRowAtIndexPathAnimated(const NSIndexPath* indexPath, bool animated);
    NSIndexPath* indexPathForSelectedRow() const { return selected_; }

    // Scrolling: the top of the visible part within the content.
    CGPoint contentOffset() const { return contentOffset_; }
    void setContentOffset(CGPoint offset);
    CGSize contentSize();
    void scrollToRowAtIndexPathAtScrollPosition(const NSIndexPath* indexPath, NSInteger scrollPosition, bool animated);

    // What a person does to a row; each brings the row into view first and
    // says whether there was a row to act on.
    //
    // A tap highlights the row (as its selection style shows it), selects
    // it and tells the delegate, which usually deselects it at once.
    bool tapRowAtIndexPath(const NSIndexPath* indexPath);
    // The accessory: an accessory view that is a control gets the tap, the
    // detail disclosure button tells the delegate, the disclosure indicator
    // and the checkmark are part of the row.
    bool tapAccessoryAtIndexPath(const NSIndexPath* indexPath);
    // A long press asks the delegate whether to show the edit menu and which
    // of its actions to offer; the result says whether the menu came up.
    bool longPressRowAtIndexPath(const NSIndexPath* indexPath);

    const std::vector<UITableViewSelectionEvent>& selectionEvents() const { return selectionEvents_; }
    void clearSelectionEvents() { selectionEvents_.clear(); }

    std::string role() const override { return "table"; }

protected:
    UITableView() = default;

private:
    void ensureLoaded();
    void layoutCells();
    // Places headers, rows and footers top to bottom for the current width.
    void layoutGeometry();
    // Loads the table if it never was, and places everything again when
    // the table's width changed since (a navigation bar or popover resized it).
    void syncGeometry();
    void returnCellsToPool();
    void positionViews();
    UITableViewRowLayout* rowLayout(const NSIndexPath* indexPath);
    // The row a person touches, with a cell, scrolled into view first.
    std::optional<UITableViewRowLayout> rowForTouch(const NSIndexPath* indexPath);
    UITableViewRowLayout* rowLayout(NSInteger section, NSInteger row);
    void scrollRectToVisible(CGRect rect, NSInteger scrollPosition);
    // Sets the cell's state through its messages and records what a person saw change.
    void setCellState(UITableViewCell* cell, const NSIndexPath* indexPath, bool selected, bool highlighted);
    void clearSelection();
    Ref<NSString> sectionTitle(SEL question, NSInteger section);

    NSInteger style_ = UITableViewStylePlain;
    objc::WeakRef<NSObject> dataSource_;
    objc::WeakRef<NSObject> delegate_;
    CGFloat rowHeight_ = defaultRowHeight;
    bool needsReload_ = true;
    bool inLayout_ = false;
    bool reloadRequested_ = false;
    bool loadedFromSource_ = false;
    std::vector<NSInteger> rowCounts_;
    std::vector<UITableViewSectionLayout> sections_;
    std::unordered_map<std::string, std::vector<Ref<UITableViewCell>>> reusePool_;
    Ref<NSIndexPath> selected_;
    CGPoint contentOffset_ {};
    CGSize contentSize_ {};
    std::vector<UITableViewSelectionEvent> selectionEvents_;
};
