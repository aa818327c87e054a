#include "PUPopoverController.h"

QX_DEFINE_CLASS(PUPopoverController) { }
