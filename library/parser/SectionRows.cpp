#include "parser/SectionRows.h"

#include "parser/QXRow.h"
#include "util/Localization.h"
#include "util/NSMutableArray+ZELExt.h"

namespace quorix::parser {

void addRow(NSMutableArray* rows, QXLiteralKey labelKey, const NSObject* value)
{
    if (!value)
        return;
    addNonNullObject(rows, QXRow::rowWithLabelAndValue(QXLocalizedLabel(labelKey).get(), value));
}

Ref<NSString> localizedFormat(std::string_view format, const NSObject* value)
{
    return NSString::stringWithFormat(QXLocalizedString(format)->str(), value);
}

} // namespace quorix::parser
