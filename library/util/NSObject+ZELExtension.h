#pragma once

#include "foundation/NSArray.h"
#include "runtime/Runtime.h"

// Keys of an instance-variable description; each one's value is its own name.
extern "C" const char* const kZELVariableName;
extern "C" const char* const kZELVariableTypeEncoding;

// Whether the class (or a superclass) declares the property with an object
// type, that is whether its attribute string starts with "T@". False for a
// null class, an empty name and an undeclared property. Exported unmangled,
// like the constants, so it can be looked up by its plain name.
extern "C" bool IsPropertyObjectType(Class cls, const char* name);

// Descriptions ({kZELVariableName, kZELVariableTypeEncoding}) of the class's
// own instance variables, inherited ones left out. Also the class method
// `variablesOfClass:` of NSObject.
Ref<NSMutableArray> variablesOfClass(Class cls);
// The same for the object's class; also the method `variables`.
Ref<NSMutableArray> variables(const NSObject* object);
// Names of the methods the object's class itself defines, category methods
// included; also the method `methods`.
Ref<NSMutableArray> methods(const NSObject* object);
// The object held by the named instance variable, autoreleased; nil for an
// empty variable or an unknown name. Also the method `instanceVariableNamed:`.
id instanceVariableNamed(const NSObject* object, const char* name);
