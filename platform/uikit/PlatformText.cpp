#include "uikit/PlatformText.h"

#include "foundation/NSBundle.h"

namespace uikit {

std::string platformText(std::string_view english)
{
    return NSBundle::mainBundle()->localizedString(english, english, "UIKit");
}

} // namespace uikit
