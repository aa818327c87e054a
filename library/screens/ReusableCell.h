#pragma once

#include "foundation/NSString.h"
#include "uikit/UITableView.h"

#include <functional>

// The table's reusable cell for `identifier`, else a new cell of `style`
// with that identifier, which `setUp` prepares once, when it is made. Both
// the dequeue and the creation go through messages.
Ref<UITableViewCell> QXReusableCell(UITableView* table, NSString* identifier, NSInteger style,
    const std::function<void(UITableViewCell*)>& setUp = {});
