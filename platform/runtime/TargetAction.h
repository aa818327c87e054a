#pragma once

#include "runtime/NSObject.h"

// Delivers a control's action to its target through the same dispatch as any
// message: the target receives `action` with the sender as its one argument.
// Nothing happens for a nil target or a target that does not answer the action.
bool objc_sendAction(SEL action, id target, id sender);
