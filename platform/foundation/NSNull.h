#pragma once

#include "runtime/ClassDefinition.h"

// The placeholder object for an empty value in a collection.
class NSNull : public NSObject {
    QX_OBJECT(NSNull, NSObject)
public:
    static NSNull* null();

protected:
    NSNull() = default;
    std::string describe() const override;
};
