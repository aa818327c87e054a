#pragma once

#include "runtime/ClassDefinition.h"

// The library's wiring into the host viewer: method replacements on the
// host's viewer and tile classes, installed once by the load-time
// constructor, and the methods it adds to them.
namespace quorix::hooks {

// Whether the host runs system 7.0 or later (its version read as a number,
// so 7.1.2 reads 7.1). Worked out once, on first use, and never again.
bool isVersion7Host();

// Each installs one group of replacements for the current host and device
// and returns how many it installed; a missing class or method is left out
// without a word.
int installVersion7ViewerHooks(); // the version 7 viewer, phone or tablet
int installOlderPhoneViewerHooks();
int installOlderTabletViewerHooks(); // also adds the tap action to the tablet viewer
int installStampHooks(); // the photo tiles, on every host

// The whole installation, in order; what the constructor runs. Returns the
// number of replacements installed.
int installAll();

} // namespace quorix::hooks
