#include "parser/SectionRows.h"

#include "parser/QXRow.h"
#include "util/Localization.h"

namespace quorix::parser {

void addRow(NSMutableArray* rows, QXLiteralKey labelKey, const NSObject* value)
{
    if (!value)
        return;
    if (auto row = QXRow::rowTakingLabel(QXLocalizedLabel(labelKey), value))
        rows->addObject(std::move(row));
}

Ref<NSString> localizedFormat(QXLiteralKey format, const NSObject* value)
{
    return NSString::stringWithFormat(QXLocalizedLabel(format)->str(), value);
}

} // namespace quorix::parser
