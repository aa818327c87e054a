#pragma once

#include "runtime/ClassDefinition.h"

using NSTimeInterval = double;

// A point in time, in seconds since 1970-01-01 00:00:00 UTC.
class NSDate : public NSObject {
    QX_OBJECT(NSDate, NSObject)
public:
    static Ref<NSDate> date();
    static Ref<NSDate> dateWithTimeIntervalSince1970(NSTimeInterval seconds);

    NSTimeInterval timeIntervalSince1970() const { return seconds_; }
    Ref<NSDate> copy() const { return dateWithTimeIntervalSince1970(seconds_); }

protected:
    explicit NSDate(NSTimeInterval seconds)
        : seconds_(seconds)
    {
    }

    std::string describe() const override;
    bool equals(const NSObject* other) const override;

private:
    NSTimeInterval seconds_;
};
