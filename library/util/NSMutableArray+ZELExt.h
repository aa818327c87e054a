#pragma once

#include "foundation/NSArray.h"

// Appends the object unless it is nil (duplicates and NSNull included), so a
// builder can append a row constructor's result without testing it first.
// Also attached to NSMutableArray as the method `addNonNullObject:`.
void addNonNullObject(NSMutableArray* array, id object);
template<class T>
void addNonNullObject(NSMutableArray* array, const Ref<T>& object)
{
    addNonNullObject(array, static_cast<id>(object.get()));
}
