#include "photosui/PUPopoverController.h"

QX_DEFINE_CLASS(PUPopoverController) { }
