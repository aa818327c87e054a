#pragma once

#include "foundation/Forward.h"
#include "uikit/UIView.h"

enum UITableViewCellStyle : NSInteger {
    UITableViewCellStyleDefault = 0, // one label
    UITableViewCellStyleValue1 = 1, // label on the left, detail on the right of the same line
    UITableViewCellStyleValue2 = 2, // short label on the left, detail beside it
    UITableViewCellStyleSubtitle = 3, // label with the detail on a line below
};

enum UITableViewCellAccessoryType : NSInteger {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
};

enum UITableViewCellSelectionStyle : NSInteger {
    UITableViewCellSelectionStyleNone = 0,
    UITableViewCellSelectionStyleBlue = 1,
    UITableViewCellSelectionStyleGray = 2,
};

// One row of a table. A cell is made once and then handed back by the
// table's pool for other rows, so whoever fills it sets everything it shows
// every time. Its labels and accessory view are its subviews.
class UITableViewCell : public UIView {
    QX_OBJECT(UITableViewCell, UIView)
public:
    static constexpr CGFloat defaultHeight = 44;

    static Ref<UITableViewCell> cellWithStyle(NSInteger style, NSString* reuseIdentifier);

    UITableViewCell* initWithStyleReuseIdentifier(NSInteger style, NSString* reuseIdentifier);

    NSInteger cellStyle() const { return style_; }
    NSString* reuseIdentifier() const { return reuseIdentifier_; }
    UILabel* textLabel() const { return textLabel_; }
    // Nil for the default style, which has no detail line.
    UILabel* detailTextLabel() const { return detailTextLabel_; }

    NSInteger accessoryType() const { return accessoryType_; }
    void setAccessoryType(NSInteger type) { accessoryType_ = type; }
    // A view in place of the accessory type (a switch); it becomes a subview.
    UIView* accessoryView() const { return accessoryView_; }
    void setAccessoryView(UIView* view);

    NSInteger selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(NSInteger style) { selectionStyle_ = style; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    // Whether a person sees the row coloured: selected or highlighted, with
    // a selection style other than none.
    bool showsSelection() const { return (selected_ || highlighted_) && selectionStyle_ != UITableViewCellSelectionStyleNone; }

    // Sent by the table before it hands the cell out again: clears the
    // selection state a previous row left. What the cell shows stays.
    void prepareForReuse();

    // Places the labels and the accessory view for the cell's current width.
    void layoutContent();

    std::string role() const override { return "cell"; }

protected:
    UITableViewCell() = default;

private:
    NSInteger style_ = UITableViewCellStyleDefault;
    Ref<NSString> reuseIdentifier_;
    Ref<UILabel> textLabel_;
    Ref<UILabel> detailTextLabel_;
    NSInteger accessoryType_ = UITableViewCellAccessoryNone;
    Ref<UIView> accessoryView_;
    NSInteger selectionStyle_ = UITableViewCellSelectionStyleBlue;
    bool selected_ = false;
    bool highlighted_ = false;
};
