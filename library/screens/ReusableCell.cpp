#include "screens/ReusableCell.h"

Ref<UITableViewCell> QXReusableCell(UITableView* table, NSString* identifier, NSInteger style,
    const std::function<void(UITableViewCell*)>& setUp)
{
    if (auto cell = objc::send<Ref<UITableViewCell>>(table, "dequeueReusableCellWithIdentifier:", identifier))
        return cell;
    auto cell = objc::create<UITableViewCell>("initWithStyle:reuseIdentifier:", style, identifier);
    if (setUp)
        setUp(cell.get());
    return cell;
}
