#pragma once

#include "uikit/UISnapshot.h"

#include <stdexcept>
#include <string>
#include <string_view>

// An action the driver could not do as a person could not: the message
// says why and what is on screen instead.
class UIDriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Drives the toolkit as a person would, by what is on screen. Each action
// finds its target in a fresh snapshot (strictly: one match, visible,
// enabled, not covered by a higher layer), runs as one task on the main
// run loop in its own autorelease pool, and then settles. Call it on the
// thread that runs the main run loop.
//
// What is tappable: the topmost layer. A modal screen or an alert covers
// everything below it. The edit menu hides on any touch beside it (a tap,
// a toggle, a long press, back, a tap outside) and that touch does nothing
// more, as a tap beside a popover closes it. Popovers follow the platform's rule: besides
// the popovers themselves, a touch reaches the bar they were presented from
// and their passthrough views on the screen under them (the snapshot marks
// those "passthrough"); acting on anything else on that screen is a tap
// beside the popovers, which closes them and does nothing more, as
// tapOutside() does.
class UIDriver {
public:
    // The control whose text or accessibility label is `text`: bar items,
    // back buttons, buttons, table rows by their text, alert buttons, menu items.
    void tap(std::string_view text);
    // Flips the switch of the row (or the switch) labelled `rowText`.
    void toggle(std::string_view rowText);
    // Long-presses the row labelled `rowText`.
    void hold(std::string_view rowText);
    // Scrolls the list of the topmost screen (the edit menu floating over it
    // aside) to `offset` points from its top, as far as it goes, as a person
    // drags it; answers where it stopped.
    CGFloat scroll(CGFloat offset);
    // Replaces the text of the one editable text on the topmost layer with
    // `text`, as a person types it.
    void type(std::string_view text);
    // Goes back one screen in the topmost layer's navigation stack.
    void back();
    // Taps beside the edit menu, which hides it; else beside the visible
    // popovers, which closes them.
    void tapOutside();
    void memoryWarning();
    // Runs queued main-loop work until none is left, then lays out.
    void settle();

    UISnapshot snapshot();

private:
    enum class Action {
        Tap,
        Toggle,
        Hold,
    };
    void act(Action action, std::string_view text);
    void act(Action action, std::string_view text, bool mayScroll);
    void perform(std::function<void()> task);
};
