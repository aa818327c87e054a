// A snapshot written out: as JSON for the page and the tests, and as
// indented lines for people.

#include "uikit/UISnapshot.h"

#include "uikit/UIColor.h"
#include "uikit/UIView.h"

#include <sstream>

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string bracketed(const UIElement& element)
{
    std::string text = "[" + element.name() + "]";
    if (!element.isEnabled())
        text += " (disabled)";
    return text;
}

// One line per element a person would notice; plain containers without a
// name add no line of their own.
void appendText(const UIElement& element, int depth, std::ostringstream& out)
{
    if (element.hidden)
        return;
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    const std::string& role = element.role;
    if (role == "navigationBar" || role == "toolbar") {
        out << indent << role << ":";
        if (!element.text.empty())
            out << " " << quoted(element.text);
        for (const auto& item : element.children)
            out << " " << bracketed(item);
        out << "\n";
        return;
    }
    if (role == "view" && element.name().empty()) {
        for (const auto& child : element.children)
            appendText(child, depth, out);
        return;
    }
    out << indent << role << ":";
    if (!element.text.empty())
        out << " " << element.text;
    if (!element.label.empty() && element.label != element.text)
        out << " (" << element.label << ")";
    if (element.state.contains("detail"))
        out << " — " << element.state["detail"].get<std::string>();
    if (element.state.contains("on"))
        out << (element.state["on"] == true ? " [on]" : " [off]");
    if (element.state.contains("accessory")) {
        const std::string accessory = element.state["accessory"].get<std::string>();
        if (accessory == "disclosureIndicator")
            out << " >";
        else if (accessory == "checkmark")
            out << " ✓";
        else if (accessory == "detailDisclosureButton")
            out << " (i)";
    }
    if (element.state.contains("footer"))
        out << " (footer: " << element.state["footer"].get<std::string>() << ")";
    if (element.state.contains("arrow"))
        out << " (arrow " << element.state["arrow"].get<std::string>() << ")";
    if (!element.isEnabled())
        out << " (disabled)";
    out << "\n";
    for (const auto& child : element.children)
        appendText(child, depth + 1, out);
}

nlohmann::json colorJSON(const UIColor* color)
{
    return { { "red", color->red() }, { "green", color->green() }, { "blue", color->blue() }, { "alpha", color->alpha() } };
}

const char* alignmentName(NSInteger alignment)
{
    switch (alignment) {
    case NSTextAlignmentCenter:
        return "center";
    case NSTextAlignmentRight:
        return "right";
    default:
        return "left";
    }
}

} // namespace

nlohmann::json UITextStyleJSON(const UIFont* font, const UIColor* textColor, NSInteger alignment, const UIColor* background)
{
    nlohmann::json style;
    if (font)
        style["font"] = { { "name", "system" }, { "size", font->pointSize() }, { "weight", font->isBold() ? "bold" : "regular" } };
    if (textColor)
        style["textColor"] = colorJSON(textColor);
    if (background)
        style["backgroundColor"] = colorJSON(background);
    style["textAlignment"] = alignmentName(alignment);
    return style;
}

nlohmann::json UISnapshot::elementToJSON(const UIElement& element)
{
    nlohmann::json json;
    json["role"] = element.role;
    if (!element.text.empty())
        json["text"] = element.text;
    if (!element.label.empty())
        json["label"] = element.label;
    json["frame"] = { { "x", element.frame.origin.x }, { "y", element.frame.origin.y },
        { "width", element.frame.size.width }, { "height", element.frame.size.height } };
    json["hidden"] = element.hidden;
    if (!element.state.empty())
        json["state"] = element.state;
    if (!element.style.empty())
        json["style"] = element.style;
    json["children"] = nlohmann::json::array();
    for (const auto& child : element.children)
        json["children"].push_back(elementToJSON(child));
    return json;
}

nlohmann::json UISnapshot::toJSON() const
{
    nlohmann::json json;
    json["screen"] = { { "width", screen_.width }, { "height", screen_.height } };
    json["statusBar"] = { { "hidden", statusBarHidden_ } };
    json["layers"] = nlohmann::json::array();
    for (const auto& layer : layers_)
        json["layers"].push_back(elementToJSON(layer));
    return json;
}

std::string UISnapshot::toText() const
{
    std::ostringstream out;
    for (const auto& layer : layers_)
        appendText(layer, 0, out);
    return out.str();
}
