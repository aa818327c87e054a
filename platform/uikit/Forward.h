#pragma once

#include "foundation/Forward.h"

// The toolkit's names that headers only point to.
class NSIndexPath;
class UIView;
class UITextView;
class UITableView;
class UIColor;
class UIFont;
class UIViewController;
class UINavigationController;
class UIPopoverController;
class UIAlertView;
class UIDriver;
struct UIElement;
