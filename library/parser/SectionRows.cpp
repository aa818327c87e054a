#include "parser/SectionRows.h"

#include "parser/QXRow.h"
#include "util/Localization.h"

namespace quorix::parser {

void addRow(NSMutableArray* rows, std::string_view labelKey, const NSObject* value)
{
    if (!value)
        return;
    if (auto row = QXRow::rowTakingLabel(QXLocalizedString(labelKey), value))
        rows->addObject(std::move(row));
}

Ref<NSString> localizedFormat(std::string_view format, const NSObject* value)
{
    return NSString::stringWithFormat(QXLocalizedString(format)->str(), value);
}

} // namespace quorix::parser
