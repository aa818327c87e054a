#pragma once

#include "foundation/NumberText.h"
#include "runtime/ClassDefinition.h"

#include <cstdint>
#include <variant>

// A boxed number: a boolean, a signed or unsigned integer, or a double.
// Conversions between them never overflow into undefined behaviour: a value
// outside the target's range saturates, and NaN reads as 0.
class NSNumber : public NSObject {
    QX_OBJECT(NSNumber, NSObject)
public:
    static Ref<NSNumber> numberWithBool(bool value);
    static Ref<NSNumber> numberWithInt(int value);
    static Ref<NSNumber> numberWithInteger(NSInteger value);
    static Ref<NSNumber> numberWithLongLong(long long value);
    static Ref<NSNumber> numberWithUnsignedLongLong(unsigned long long value);
    static Ref<NSNumber> numberWithDouble(double value);

    bool boolValue() const;
    int intValue() const;
    NSInteger integerValue() const { return static_cast<NSInteger>(longLongValue()); }
    long long longLongValue() const;
    unsigned long long unsignedLongLongValue() const;
    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }

    bool isFloatingPoint() const { return std::holds_alternative<double>(value_); }
    bool isBoolean() const { return std::holds_alternative<bool>(value_); }

    // The description ("%@" text) written into `buffer`, without a string.
    std::string_view describeInto(foundation::NumberText& buffer) const;

protected:
    using Value = std::variant<bool, long long, unsigned long long, double>;
    explicit NSNumber(Value value)
        : value_(value)
    {
    }

    std::string describe() const override;
    bool equals(const NSObject* other) const override;

private:
    Value value_;
};
