#pragma once

#include "uikit/Forward.h"
#include "uikit/CGGeometry.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

// One thing a person sees: a bar, a button, a label, a row, a layer.
// Everything but the action hooks is serialised; the hooks are how the
// driver acts on the element, so an action always reaches the same object
// the snapshot describes.
struct UIElement {
    std::string role;
    std::string text;
    std::string label; // the accessibility label, when there is one
    CGRect frame {}; // in screen coordinates
    bool hidden = false; // hidden itself or inside a hidden view
    // Further states ("on", "enabled", "accessory", "style", "systemItem",
    // "arrow", ...), each a JSON scalar.
    nlohmann::json state = nlohmann::json::object();
    // How a label draws its text (empty for other elements): "font" {"name",
    // "size", "weight"}, "textColor" and, when set, "backgroundColor" (each
    // {"red", "green", "blue", "alpha"}, 0 to 1), "textAlignment".
    nlohmann::json style = nlohmann::json::object();
    std::vector<UIElement> children;

    std::function<void()> onTap;
    std::function<void()> onToggle;
    std::function<void()> onHold;
    // A scrolling view that lists only what is on screen brings the element
    // a person looks for by `name` into view; false when it has none so named.
    std::function<bool(std::string_view name)> reveal;
    // A scrolling view scrolls its content to `offset` points from its top,
    // as far as it goes, and answers where it stopped.
    std::function<CGFloat(CGFloat offset)> scrollTo;
    // Editable text: replaces it with what a person typed.
    std::function<void(const std::string& text)> onEdit;

    bool isEnabled() const { return !state.contains("enabled") || state["enabled"] != false; }
    // The text a person would find it by: its text, else its label.
    const std::string& name() const { return text.empty() ? label : text; }
};


// How a text is drawn, as a snapshot's "style": "font" {"name", "size",
// "weight"}, "textColor" and, when there is one, "backgroundColor", and
// "textAlignment".
nlohmann::json UITextStyleJSON(const UIFont* font, const UIColor* textColor, NSInteger alignment, const UIColor* background);

// What is on screen, as layers from bottom to top: "viewer" (the root
// screen), "modal" screens, "popover"s, "alert"s and the edit "menu".
// Each screen layer lists its navigation bar, its top screen's views and
// its toolbar.
class UISnapshot {
public:
    // Lays out what needs it (pending layouts, popover panels), then reads
    // the screen. Call it on the thread that runs the main run loop.
    static UISnapshot take();

    const std::vector<UIElement>& layers() const { return layers_; }
    CGSize screenSize() const { return screen_; }
    bool statusBarHidden() const { return statusBarHidden_; }

    // {"screen": {width, height}, "statusBar": {hidden}, "layers": [element...]}; every element
    // has "role", "frame", "hidden", "children", and "text", "label",
    // "state" and "style" when it has them. No pointers or addresses.
    nlohmann::json toJSON() const;
    // Indented lines for people, e.g. `toolbar: [Info] [Delete]`; hidden
    // elements are left out.
    std::string toText() const;

    static nlohmann::json elementToJSON(const UIElement& element);

private:
    std::vector<UIElement> layers_;
    CGSize screen_ {};
    bool statusBarHidden_ = false;
};
