#include "imageio/ContentsText.h"

#include <cstdio>
#include <variant>

namespace imageio {

namespace {

std::string describeNumber(const Number& number)
{
    if (const auto* integer = std::get_if<long long>(&number))
        return std::to_string(*integer);
    char text[40];
    std::snprintf(text, sizeof text, "%.17g (real)", std::get<double>(number));
    return text;
}

std::string describeSection(const char* name, const Section& section)
{
    if (!section)
        return std::string(name) + ": absent\n";
    std::string text = std::string(name) + ":\n";
    for (const auto& property : *section) {
        text += "  " + std::string(property.key) + " = ";
        if (const auto* number = std::get_if<Number>(&property.value)) {
            text += describeNumber(*number);
        } else if (const auto* numbers = std::get_if<std::vector<Number>>(&property.value)) {
            for (const auto& element : *numbers)
                text += describeNumber(element) + " ";
        } else {
            text += "\"" + std::get<std::string>(property.value) + "\"";
        }
        text += "\n";
    }
    return text;
}

std::string describeSize(const std::optional<long long>& width, const std::optional<long long>& height)
{
    auto side = [](const auto& value) { return value ? std::to_string(*value) : std::string("none"); };
    return side(width) + " x " + side(height);
}

} // namespace

std::string describeContents(const std::optional<ImageContents>& contents)
{
    if (!contents)
        return "no image\n";
    const auto& metadata = contents->metadata;
    return "type " + contents->type + "\nsize " + describeSize(metadata.pixelWidth, metadata.pixelHeight) + "\nshown "
        + describeSize(metadata.shownWidth, metadata.shownHeight) + "\norientation "
        + (metadata.orientation ? describeNumber(*metadata.orientation) : "none") + "\n" + describeSection("TIFF", metadata.tiff)
        + describeSection("Exif", metadata.exif) + describeSection("GPS", metadata.gps);
}

} // namespace imageio
