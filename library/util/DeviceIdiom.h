#pragma once

#include "uikit/UIDevice.h"

// What kind of device the process runs on, asked afresh at each call and by
// message, so a host's simulated device (or a replacement of its methods) is
// what decides.
//
// A phone answers idiom 0 or does not answer `userInterfaceIdiom` at all (an
// older system); a tablet answers 1. Any other idiom is neither.
UIDevice* QXCurrentDevice();
bool QXDeviceIsPhone();
bool QXDeviceIsPad();
