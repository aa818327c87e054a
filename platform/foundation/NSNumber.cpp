#include "foundation/NSNumber.h"

#include "foundation/NSString.h"

#include <cmath>
#include <limits>

QX_DEFINE_CLASS(NSNumber)
{
    b.method<&NSNumber::boolValue>("boolValue");
    b.method<&NSNumber::intValue>("intValue");
    b.method<&NSNumber::integerValue>("integerValue");
    b.method<&NSNumber::longLongValue>("longLongValue");
    b.method<&NSNumber::doubleValue>("doubleValue");
    b.method<&NSNumber::floatValue>("floatValue");
}

namespace {

template<class Int>
Int saturate(double value)
{
    if (std::isnan(value))
        return 0;
    double truncated = std::trunc(value);
    if (truncated <= static_cast<double>(std::numeric_limits<Int>::min()))
        return std::numeric_limits<Int>::min();
    // The largest double below the type's maximum + 1 is the last exact one.
    if (truncated >= std::ldexp(1.0, std::numeric_limits<Int>::digits))
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(truncated);
}

} // namespace

Ref<NSNumber> NSNumber::numberWithBool(bool value) { return make_object<NSNumber>(Value(value)); }
Ref<NSNumber> NSNumber::numberWithInt(int value) { return make_object<NSNumber>(Value(static_cast<long long>(value))); }
Ref<NSNumber> NSNumber::numberWithInteger(NSInteger value) { return make_object<NSNumber>(Value(static_cast<long long>(value))); }
Ref<NSNumber> NSNumber::numberWithLongLong(long long value) { return make_object<NSNumber>(Value(value)); }
Ref<NSNumber> NSNumber::numberWithUnsignedLongLong(unsigned long long value) { return make_object<NSNumber>(Value(value)); }
Ref<NSNumber> NSNumber::numberWithDouble(double value) { return make_object<NSNumber>(Value(value)); }

bool NSNumber::boolValue() const
{
    return std::visit([](auto v) { return v != 0; }, value_);
}

long long NSNumber::longLongValue() const
{
    if (auto* b = std::get_if<bool>(&value_))
        return *b ? 1 : 0;
    if (auto* i = std::get_if<long long>(&value_))
        return *i;
    if (auto* u = std::get_if<unsigned long long>(&value_))
        return *u > static_cast<unsigned long long>(std::numeric_limits<long long>::max()) ? std::numeric_limits<long long>::max() : static_cast<long long>(*u);
    return saturate<long long>(std::get<double>(value_));
}

int NSNumber::intValue() const
{
    if (auto* d = std::get_if<double>(&value_))
        return saturate<int>(*d);
    long long value = longLongValue();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

unsigned long long NSNumber::unsignedLongLongValue() const
{
    if (auto* u = std::get_if<unsigned long long>(&value_))
        return *u;
    if (auto* d = std::get_if<double>(&value_)) {
        // Negative values wrap as a C conversion through the signed type does.
        if (*d < 0)
            return static_cast<unsigned long long>(saturate<long long>(*d));
        return saturate<unsigned long long>(*d);
    }
    return static_cast<unsigned long long>(longLongValue());
}

double NSNumber::doubleValue() const
{
    return std::visit([](auto v) { return static_cast<double>(v); }, value_);
}

std::string_view NSNumber::describeInto(foundation::NumberText& buffer) const
{
    if (auto* d = std::get_if<double>(&value_))
        return foundation::shortestDecimalText(*d, buffer);
    if (auto* u = std::get_if<unsigned long long>(&value_))
        return foundation::integerText(*u, buffer);
    return foundation::integerText(longLongValue(), buffer);
}

std::string NSNumber::describe() const
{
    foundation::NumberText buffer;
    return std::string(describeInto(buffer));
}

bool NSNumber::equals(const NSObject* other) const
{
    const auto* number = dynamic_cast<const NSNumber*>(other);
    if (!number)
        return false;
    if (isFloatingPoint() || number->isFloatingPoint())
        return doubleValue() == number->doubleValue();
    return longLongValue() == number->longLongValue() && unsignedLongLongValue() == number->unsignedLongLongValue();
}
