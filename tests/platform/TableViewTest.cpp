#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UIControl.h"
#include "uikit/UIMenuController.h"
#include "uikit/UITableViewController.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FixtureSection {
    std::string header;
    std::vector<std::string> rows;
    std::string footer;
};

using Event = UITableViewSelectionEvent;
using Kind = UITableViewSelectionEvent::Kind;

// A screen that answers its table only through registered methods, as the
// library's screens do, and notes what it was told.
class TVFixtureScreen : public UITableViewController {
    QX_OBJECT(TVFixtureScreen, UITableViewController)
public:
    static Ref<TVFixtureScreen> screen(NSInteger style, std::vector<FixtureSection> sections)
    {
        auto screen = objc::create<TVFixtureScreen>("initWithStyle:", style);
        screen->sections_ = std::move(sections);
        return screen;
    }

    std::vector<FixtureSection> sections_;
    NSInteger selectionStyle_ = UITableViewCellSelectionStyleBlue;
    NSInteger accessoryType_ = UITableViewCellAccessoryNone;
    bool deselectOnSelect_ = true;
    bool showMenu_ = false;
    std::vector<std::string> allowedActions_;
    bool reloadDuringFirstCell_ = false;

    std::vector<std::pair<NSInteger, NSInteger>> selected_;
    std::vector<std::pair<NSInteger, NSInteger>> accessoryTaps_;
    std::vector<std::string> askedActions_;
    std::vector<std::string> performed_;
    int cellsMade_ = 0;

    NSInteger numberOfSectionsInTableView(UITableView*) const { return static_cast<NSInteger>(sections_.size()); }
    NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger section) const
    {
        return static_cast<NSInteger>(sections_.at(static_cast<size_t>(section)).rows.size());
    }
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
    {
        if (reloadDuringFirstCell_) {
            reloadDuringFirstCell_ = false;
            objc::send(tableView, "reloadData");
        }
        Ref<UITableViewCell> cell(objc::send<UITableViewCell*>(tableView, "dequeueReusableCellWithIdentifier:", "Cell"_ns));
        if (!cell) {
            cell = objc::create<UITableViewCell>("initWithStyle:reuseIdentifier:", UITableViewCellStyleValue1, "Cell"_ns);
            ++cellsMade_;
        }
        const auto& section = sections_.at(static_cast<size_t>(indexPath->section()));
        objc::send(cell->textLabel(), "setText:", NSString::stringWithUTF8String(section.rows.at(static_cast<size_t>(indexPath->row()))));
        objc::send(cell, "setSelectionStyle:", selectionStyle_);
        objc::send(cell, "setAccessoryType:", accessoryType_);
        return cell;
    }
    Ref<NSString> tableViewTitleForHeaderInSection(UITableView*, NSInteger section) const
    {
        const auto& header = sections_.at(static_cast<size_t>(section)).header;
        return header.empty() ? nullptr : NSString::stringWithUTF8String(header);
    }
    Ref<NSString> tableViewTitleForFooterInSection(UITableView*, NSInteger section) const
    {
        const auto& footer = sections_.at(static_cast<size_t>(section)).footer;
        return footer.empty() ? nullptr : NSString::stringWithUTF8String(footer);
    }
    void tableViewDidSelectRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
    {
        selected_.emplace_back(indexPath->section(), indexPath->row());
        if (deselectOnSelect_)
            objc::send(tableView, "deselectRowAtIndexPath:animated:", indexPath, true);
    }
    void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView*, NSIndexPath* indexPath)
    {
        accessoryTaps_.emplace_back(indexPath->section(), indexPath->row());
    }
    bool tableViewShouldShowMenuForRowAtIndexPath(UITableView*, NSIndexPath*) const { return showMenu_; }
    bool tableViewCanPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath*, id)
    {
        askedActions_.push_back(action.name());
        return std::find(allowedActions_.begin(), allowedActions_.end(), action.name()) != allowedActions_.end();
    }
    void tableViewPerformActionForRowAtIndexPathWithSender(UITableView*, SEL action, NSIndexPath* indexPath, id)
    {
        performed_.push_back(action.name() + " " + std::to_string(indexPath->section()) + "." + std::to_string(indexPath->row()));
    }

protected:
    TVFixtureScreen() = default;
};

// An autoreleased index path, made the way a screen makes one.
NSIndexPath* path(NSInteger section, NSInteger row)
{
    return objc::sendClass<NSIndexPath*>(NSIndexPath::objcClass(), "indexPathForRow:inSection:", row, section);
}

std::string textOf(UITableViewCell* cell) { return cell && cell->textLabel()->text() ? cell->textLabel()->text()->str() : "<none>"; }

} // namespace

void PrintTo(const CGRect& rect, std::ostream* out)
{
    *out << "{" << rect.origin.x << ", " << rect.origin.y << ", " << rect.size.width << ", " << rect.size.height << "}";
}

void PrintTo(const UITableViewSelectionEvent& event, std::ostream* out)
{
    static const char* const kinds[] = { "Highlighted", "Selected", "Deselected", "Unhighlighted" };
    *out << kinds[static_cast<int>(event.kind)] << " " << event.section << "." << event.row << " style " << event.selectionStyle;
}

QX_DEFINE_CLASS(TVFixtureScreen)
{
    b.method<&TVFixtureScreen::numberOfSectionsInTableView>("numberOfSectionsInTableView:");
    b.method<&TVFixtureScreen::tableViewNumberOfRowsInSection>("tableView:numberOfRowsInSection:");
    b.method<&TVFixtureScreen::tableViewCellForRowAtIndexPath>("tableView:cellForRowAtIndexPath:");
    b.method<&TVFixtureScreen::tableViewTitleForHeaderInSection>("tableView:titleForHeaderInSection:");
    b.method<&TVFixtureScreen::tableViewTitleForFooterInSection>("tableView:titleForFooterInSection:");
    b.method<&TVFixtureScreen::tableViewDidSelectRowAtIndexPath>("tableView:didSelectRowAtIndexPath:");
    b.method<&TVFixtureScreen::tableViewAccessoryButtonTappedForRowWithIndexPath>("tableView:accessoryButtonTappedForRowWithIndexPath:");
    b.method<&TVFixtureScreen::tableViewShouldShowMenuForRowAtIndexPath>("tableView:shouldShowMenuForRowAtIndexPath:");
    b.method<&TVFixtureScreen::tableViewCanPerformActionForRowAtIndexPathWithSender>("tableView:canPerformAction:forRowAtIndexPath:withSender:");
    b.method<&TVFixtureScreen::tableViewPerformActionForRowAtIndexPathWithSender>("tableView:performAction:forRowAtIndexPath:withSender:");
}

TEST(IndexPath, EqualsAnotherPathWithTheSameSectionAndRow)
{
    AutoreleasePool pool;
    id made = objc::sendClass<id>(NSIndexPath::objcClass(), "indexPathForRow:inSection:", 2, 1);
    EXPECT_EQ(objc::send<NSInteger>(made, "section"), 1);
    EXPECT_EQ(objc::send<NSInteger>(made, "row"), 2);
    EXPECT_TRUE(made->isEqual(path(1, 2)));
    EXPECT_FALSE(made->isEqual(path(2, 1)));
    EXPECT_TRUE(sameIndexPath(nullptr, nullptr));
    EXPECT_FALSE(sameIndexPath(path(0, 0), nullptr));
}

TEST(TableView, ReusedCellShowsTheContentOfItsNewSection)
{
    AutoreleasePool pool;
    auto screen = TVFixtureScreen::screen(UITableViewStyleGrouped, { { "", {}, "" }, { "", { "Enabled" }, "" } });
    UITableView* table = screen->tableView();
    table->reloadData();
    Ref<UITableViewCell> first = table->cellForRowAtIndexPath(path(1, 0));
    ASSERT_TRUE(first);
    EXPECT_EQ(textOf(first), "Enabled");

    screen->sections_ = { { "", { "Search Location" }, "" }, { "", {}, "" } };
    table->reloadData();
    EXPECT_EQ(table->cellForRowAtIndexPath(path(0, 0)), first.get());
    EXPECT_EQ(textOf(first), "Search Location");
    EXPECT_EQ(table->cellForRowAtIndexPath(path(1, 0)), nullptr);
    EXPECT_TRUE(table->indexPathForCell(first)->isEqual(path(0, 0)));
    EXPECT_EQ(screen->cellsMade_, 1);

    // With no row to take it, the cell waits in its pool, off the table.
    screen->sections_ = { { "", {}, "" } };
    table->reloadData();
    EXPECT_EQ(table->reusableCellCount("Cell"), 1u);
    EXPECT_EQ(first->superview(), nullptr);
    auto identifier = "Cell"_ns;
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier(identifier), first);
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier(identifier), nullptr);
}

TEST(TableView, ACellReadAndHandedBackServesTheNextRow)
{
    // What `quorix info` does: ask the data source for each row, read the
    // cell, hand it back; one cell then serves every row.
    AutoreleasePool pool;
    auto screen = TVFixtureScreen::screen(UITableViewStyleGrouped, { { "", { "Make", "Model", "Software" }, "" } });
    UITableView* table = screen->tableView();
    std::vector<std::string> texts;
    for (NSInteger row = 0; row < 3; ++row) {
        auto cell = objc::send<Ref<UITableViewCell>>(screen, "tableView:cellForRowAtIndexPath:", table, path(0, row));
        ASSERT_TRUE(cell);
        texts.push_back(textOf(cell));
        table->enqueueReusableCell(cell);
        table->enqueueReusableCell(cell); // twice is still once
    }
    EXPECT_EQ(texts, (std::vector<std::string> { "Make", "Model", "Software" }));
    EXPECT_EQ(screen->cellsMade_, 1);
    EXPECT_EQ(table->reusableCellCount("Cell"), 1u);

    // A cell the table shows is not taken from it.
    table->reloadData();
    EXPECT_EQ(table->reusableCellCount("Cell"), 0u);
    table->enqueueReusableCell(table->cellForRowAtIndexPath(path(0, 0)));
    EXPECT_EQ(table->reusableCellCount("Cell"), 0u);
}

TEST(TableView, AsksItsDataSourceThroughMessagesAndLaysSectionsOut)
{
    AutoreleasePool pool;
    auto screen = TVFixtureScreen::screen(UITableViewStyleGrouped,
        { { "Maps App", { "Search Location" }, "" }, { "", { "A", "B" }, "Version 2.0.1" } });
    UITableView* table = screen->tableView();
    ASSERT_EQ(table->dataSource(), screen.get());
    EXPECT_TRUE(table->needsReload());
    objc::send(screen, "viewWillAppear:", false);
    EXPECT_FALSE(table->needsReload());

    const auto& sections = table->laidOutSections();
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].headerTitle->str(), "Maps App");
    EXPECT_EQ(sections[0].headerRect, CGRectMake(20, 0, 280, 36));
    EXPECT_EQ(sections[0].rows[0].rect, CGRectMake(10, 36, 300, 44));
    EXPECT_EQ(sections[1].headerTitle, nullptr);
    EXPECT_EQ(sections[1].rows[1].rect, CGRectMake(10, 144, 300, 44));
    EXPECT_EQ(sections[1].rows[1].cell->frame(), CGRectMake(10, 144, 300, 44));
    EXPECT_EQ(sections[1].footerTitle->str(), "Version 2.0.1");
    EXPECT_EQ(sections[1].footerRect, CGRectMake(20, 188, 280, 30));
    EXPECT_EQ(sections[1].footerLabel->role(), "footer");
    EXPECT_EQ(table->footerTitleForSection(0), nullptr);

    // A wider table (a popover, a rotation) widens rows and texts alike.
    table->setFrame(CGRectMake(0, 0, 400, 480));
    EXPECT_EQ(table->rectForRowAtIndexPath(path(1, 1)), CGRectMake(10, 144, 380, 44));
    EXPECT_EQ(table->cellForRowAtIndexPath(path(1, 1))->frame(), CGRectMake(10, 144, 380, 44));
    EXPECT_EQ(table->laidOutSections()[0].headerLabel->frame(), CGRectMake(20, 0, 360, 36));

    // A replaced implementation is what the table sees.
    class_replaceMethod(TVFixtureScreen::objcClass(), "tableView:numberOfRowsInSection:",
        objc::imp(+[](id, SEL, UITableView*, long) -> long { return 1; }), "q@:@q");
    table->reloadData();
    EXPECT_EQ(table->numberOfRowsInSection(1), 1);
    class_replaceMethod(TVFixtureScreen::objcClass(), "tableView:numberOfRowsInSection:",
        objc::MemberImp<&TVFixtureScreen::tableViewNumberOfRowsInSection>::make(), "q@:@q");

    // The bare controller is an empty table of one section.
    auto bare = objc::create<UITableViewController>("initWithStyle:", UITableViewStylePlain);
    EXPECT_EQ(bare->tableView()->numberOfSections(), 1);
    EXPECT_EQ(bare->tableView()->numberOfRowsInSection(0), 0);
}

TEST(TableView, TapHighlightsSelectsAndTheDelegateDeselects)
{
    AutoreleasePool pool;
    auto screen = TVFixtureScreen::screen(UITableViewStyleGrouped, { { "", { "English", "Deutsch" }, "" } });
    UITableView* table = screen->tableView();

    ASSERT_TRUE(table->tapRowAtIndexPath(path(0, 1)));
    EXPECT_EQ(screen->selected_, (std::vector<std::pair<NSInteger, NSInteger>> { { 0, 1 } }));
    const std::vector<Event> blue { { Kind::Highlighted, 0, 1, 1 }, { Kind::Selected, 0, 1, 1 },
        { Kind::Deselected, 0, 1, 1 }, { Kind::Unhighlighted, 0, 1, 1 } };
    EXPECT_EQ(table->selectionEvents(), blue);
    EXPECT_EQ(table->indexPathForSelectedRow(), nullptr);
    EXPECT_FALSE(table->cellForRowAtIndexPath(path(0, 1))->showsSelection());

    // Selection style none: selected and deselected, never coloured.
    table->clearSelectionEvents();
    screen->selectionStyle_ = UITableViewCellSelectionStyleNone;
    table->reloadData();
    table->tapRowAtIndexPath(path(0, 0));
    EXPECT_EQ(table->selectionEvents(), (std::vector<Event> { { Kind::Selected, 0, 0, 0 }, { Kind::Deselected, 0, 0, 0 } }));

    // A delegate that keeps the selection: the row stays coloured until
    // another row is chosen, and a reload forgets it.
    screen->selectionStyle_ = UITableViewCellSelectionStyleGray;
    screen->deselectOnSelect_ = false;
    table->reloadData();
    table->tapRowAtIndexPath(path(0, 0));
    EXPECT_TRUE(table->indexPathForSelectedRow()->isEqual(path(0, 0)));
    EXPECT_TRUE(table->cellForRowAtIndexPath(path(0, 0))->showsSelection());
    table->tapRowAtIndexPath(path(0, 1));
    EXPECT_FALSE(table->cellForRowAtIndexPath(path(0, 0))->isSelected());
    EXPECT_TRUE(table->indexPathForSelectedRow()->isEqual(path(0, 1)));
    table->reloadData();
    EXPECT_EQ(table->indexPathForSelectedRow(), nullptr);
    EXPECT_FALSE(table->cellForRowAtIndexPath(path(0, 1))->isSelected());
    EXPECT_FALSE(table->tapRowAtIndexPath(path(0, 2)));
}

TEST(TableView, TapBelowTheVisiblePartScrollsTheRowIntoView)
{
    AutoreleasePool pool;
    auto screen = TVFixtureScreen::screen(UITableViewStylePlain, { { "", { "0", "1", "2", "3", "4" }, "" } });
    UITableView* table = screen->tableView();
    table->setFrame(CGRectMake(0, 0, 320, 100));
    table->reloadData();
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 3u);

    table->tapRowAtIndexPath(path(0, 4));
    EXPECT_EQ(table->contentOffset().y, 120);
    EXPECT_EQ(table->cellForRowAtIndexPath(path(0, 4))->frame(), CGRectMake(0, 56, 320, 44));
    EXPECT_TRUE(table->indexPathsForVisibleRows().back()->isEqual(path(0, 4)));
}

TEST(TableView, AccessoriesReachTheDelegateOrTheirControl)
{
    AutoreleasePool pool;
    auto screen = TVFixtureScreen::screen(UITableViewStyleGrouped, { { "", { "Location", "Enabled" }, "" } });
    screen->accessoryType_ = UITableViewCellAccessoryDetailDisclosureButton;
    UITableView* table = screen->tableView();
    table->reloadData();
    EXPECT_TRUE(table->tapAccessoryAtIndexPath(path(0, 0)));
    EXPECT_EQ(screen->accessoryTaps_, (std::vector<std::pair<NSInteger, NSInteger>> { { 0, 0 } }));
    EXPECT_TRUE(screen->selected_.empty());

    auto control = objc::create<UISwitch>("initWithFrame:", CGRectZero);
    UITableViewCell* cell = table->cellForRowAtIndexPath(path(0, 1));
    objc::send(cell, "setAccessoryView:", control);
    EXPECT_EQ(control->superview(), cell);
    EXPECT_EQ(control->frame(), CGRectMake(211, 8.5, 79, 27));
    EXPECT_TRUE(table->tapAccessoryAtIndexPath(path(0, 1)));
    EXPECT_TRUE(control->isOn());
    EXPECT_EQ(screen->accessoryTaps_.size(), 1u);
}

TEST(TableView, LongPressOffersOnlyTheActionsTheDelegateAllows)
{
    AutoreleasePool pool;
    auto* menu = UIMenuController::sharedMenuController();
    auto screen = TVFixtureScreen::screen(UITableViewStyleGrouped, { { "", { "Location", "Show Location" }, "" } });
    UITableView* table = screen->tableView();

    EXPECT_FALSE(table->longPressRowAtIndexPath(path(0, 0)));
    EXPECT_FALSE(menu->isMenuVisible());
    EXPECT_TRUE(screen->askedActions_.empty());

    screen->showMenu_ = true;
    EXPECT_FALSE(table->longPressRowAtIndexPath(path(0, 1)));
    EXPECT_EQ(screen->askedActions_, (std::vector<std::string> { "cut:", "copy:", "paste:" }));

    screen->allowedActions_ = { "copy:" };
    ASSERT_TRUE(table->longPressRowAtIndexPath(path(0, 0)));
    EXPECT_TRUE(menu->isMenuVisible());
    EXPECT_EQ(menu->menuItemTitles(), std::vector<std::string> { "Copy" });
    EXPECT_EQ(menu->targetTableView(), table);
    EXPECT_FALSE(menu->tapItem("Paste"));
    EXPECT_TRUE(menu->tapItem("Copy"));
    EXPECT_EQ(screen->performed_, std::vector<std::string> { "copy: 0.0" });
    EXPECT_FALSE(menu->isMenuVisible());

    // A reload drops the row the menu was for.
    table->longPressRowAtIndexPath(path(0, 0));
    table->reloadData();
    EXPECT_FALSE(menu->isMenuVisible());
    EXPECT_FALSE(menu->tapItem("Copy"));
    EXPECT_EQ(screen->performed_.size(), 1u);
}

TEST(TableView, DataSourceGoneLeavesAnEmptyTable)
{
    AutoreleasePool outer;
    Ref<UITableView> table;
    {
        AutoreleasePool pool;
        auto screen = TVFixtureScreen::screen(UITableViewStylePlain, { { "", { "A", "B" }, "" } });
        table = screen->tableView();
        table->reloadData();
        ASSERT_EQ(table->numberOfRowsInSection(0), 2);
        screen->showMenu_ = true;
        screen->allowedActions_ = { "copy:" };
        table->longPressRowAtIndexPath(path(0, 0));
    }
    EXPECT_EQ(table->dataSource(), nullptr);
    EXPECT_EQ(table->delegate(), nullptr);
    // The menu outlives the screen it was for; choosing an item then reaches no one.
    EXPECT_TRUE(UIMenuController::sharedMenuController()->tapItem("Copy"));
    EXPECT_EQ(table->numberOfSections(), 0);
    EXPECT_EQ(table->numberOfRowsInSection(0), 0);
    EXPECT_TRUE(table->subviews().empty());
    EXPECT_FALSE(table->tapRowAtIndexPath(path(0, 0)));
    EXPECT_FALSE(table->longPressRowAtIndexPath(path(0, 0)));
}

TEST(TableView, ReloadFromInsideTheDataSourceRunsAfterTheCurrentOne)
{
    AutoreleasePool pool;
    auto screen = TVFixtureScreen::screen(UITableViewStylePlain, { { "", { "A", "B" }, "" } });
    screen->reloadDuringFirstCell_ = true;
    UITableView* table = screen->tableView();
    table->reloadData();
    EXPECT_EQ(table->subviews().size(), 2u);
    EXPECT_EQ(textOf(table->cellForRowAtIndexPath(path(0, 1))), "B");
    EXPECT_EQ(screen->cellsMade_, 2);
}
