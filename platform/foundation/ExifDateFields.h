#pragma once

// The date format EXIF uses, and the fields of its text: digits at fixed
// places, read without a formatter. Header only: the platform and its date
// formats library both read it.

#include <array>
#include <optional>
#include <string_view>

namespace foundation {

constexpr std::string_view kExifDateFormat = "yyyy:MM:dd HH:mm:ss";

// Year, month, day, hour, minute and second as written, when `text` has the
// shape "dddd:dd:dd dd:dd:dd"; whether they name a date is not checked.
inline std::optional<std::array<int, 6>> exifDateFields(std::string_view text)
{
    constexpr std::string_view shape = "dddd:dd:dd dd:dd:dd";
    if (text.size() != shape.size())
        return std::nullopt;
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i])
            return std::nullopt;
    }
    auto number = [&](size_t at, size_t length) {
        int value = 0;
        for (size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    return std::array<int, 6> { number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2) };
}

} // namespace foundation
