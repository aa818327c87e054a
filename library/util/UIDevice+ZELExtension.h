#pragma once

#include "foundation/NSString.h"
#include "uikit/UIDevice.h"

// The raw hardware model identifier: the machine field of the kernel's
// identification record (uname), as the kernel gives it.
Ref<NSString> detailModel(const UIDevice* device);
