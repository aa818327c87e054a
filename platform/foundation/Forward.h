#pragma once

#include "runtime/Forward.h"

// The foundation's names that headers only point to.
class NSString;
class NSNumber;
class NSArray;
class NSMutableArray;
class NSDictionary;
class NSMutableDictionary;
class NSDate;
class NSNull;
class NSURL;
class NSNotification;
