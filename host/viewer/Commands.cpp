#include "Commands.h"

#include "CommandError.h"
#include "WPhotosAppController.h"

#include "foundation/NSRunLoop.h"
#include "foundation/NSString.h"
#include "foundation/QuotedText.h"
#include "uikit/UIApplication.h"
#include "uikit/UIDriver.h"

#include <charconv>

namespace viewer {

namespace {

void requireText(const CommandLine& command, const char* what)
{
    if (command.text.empty())
        throw CommandError(command.name + " needs " + what);
}

void requireNoText(const CommandLine& command)
{
    if (!command.text.empty())
        throw CommandError(command.name + " takes no argument");
}

NSInteger photoNumber(const CommandLine& command)
{
    requireText(command, "a photo number, counted from 0");
    NSInteger number = 0;
    const char* end = command.text.data() + command.text.size();
    auto [stop, error] = std::from_chars(command.text.data(), end, number);
    if (error != std::errc() || stop != end)
        throw CommandError("not a photo number: " + foundation::quotedText(command.text));
    return number;
}

// A distance in points: digits with an optional fraction, nothing else.
double pointsOf(const CommandLine& command)
{
    requireText(command, "a distance in points from the top");
    double points = 0;
    const char* end = command.text.data() + command.text.size();
    auto [stop, error] = std::from_chars(command.text.data(), end, points);
    if (error != std::errc() || stop != end || !(points >= 0))
        throw CommandError("not a distance in points: " + foundation::quotedText(command.text));
    return points;
}

Answer indexAnswer(NSInteger index)
{
    Answer answer;
    answer.fields["index"] = index;
    return answer;
}

} // namespace

CommandLine splitCommand(std::string_view line)
{
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    auto space = line.find(' ');
    if (space == std::string_view::npos)
        return { std::string(line), {} };
    return { std::string(line.substr(0, space)), std::string(line.substr(space + 1)) };
}

const char* CommandRunner::summary()
{
    return "show                what is on screen\n"
           "tap TEXT            tap the control whose text or label is TEXT\n"
           "toggle TEXT         flip the switch in the row labelled TEXT\n"
           "hold TEXT           long-press the row labelled TEXT\n"
           "back                go back one screen\n"
           "outside             tap outside the open popover\n"
           "next, previous      page to the next or previous photo\n"
           "memory-warning      send the application a memory warning\n"
           "close-viewer        close the viewer (back to the album)\n"
           "open N              open the viewer on photo N, counted from 0\n"
           "scroll POINTS       scroll the album to POINTS from its top\n"
           "tap-photo N         tap photo N's thumbnail in the album on screen\n"
           "pasteboard          the text on the pasteboard\n"
           "opened              the URLs handed to the system, oldest first\n"
           "help                this list\n"
           "quit                end the session\n";
}

void CommandRunner::onMainLoop(const std::function<void()>& task)
{
    NSRunLoop::mainRunLoop().perform(task);
    driver_.settle();
}

void CommandRunner::requireUncoveredViewer()
{
    if (!app_.isViewerOpen())
        throw CommandError("no viewer is open");
    const auto shot = driver_.snapshot();
    const auto& layers = shot.layers();
    if (!layers.empty() && layers.back().role != "viewer")
        throw CommandError("cannot page: the viewer is covered by " + std::string(layers.back().role == "alert" ? "an " : "a ")
            + layers.back().role);
}

Answer CommandRunner::run(std::string_view line)
{
    const CommandLine command = splitCommand(line);
    const std::string& name = command.name;

    if (name == "show") {
        requireNoText(command);
        Answer answer;
        answer.fields["screen"] = driver_.snapshot().toJSON();
        return answer;
    }
    if (name == "tap" || name == "toggle" || name == "hold") {
        requireText(command, name == "tap" ? "the text of a control" : "the text of a row");
        if (name == "tap")
            driver_.tap(command.text);
        else if (name == "toggle")
            driver_.toggle(command.text);
        else
            driver_.hold(command.text);
        return {};
    }
    if (name == "back") {
        requireNoText(command);
        driver_.back();
        return {};
    }
    if (name == "outside") {
        requireNoText(command);
        driver_.tapOutside();
        return {};
    }
    if (name == "next" || name == "previous") {
        requireNoText(command);
        requireUncoveredViewer();
        NSInteger index = 0;
        onMainLoop([&] { index = app_.page(name == "next" ? 1 : -1); });
        return indexAnswer(index);
    }
    if (name == "memory-warning") {
        requireNoText(command);
        driver_.memoryWarning();
        return {};
    }
    if (name == "close-viewer") {
        requireNoText(command);
        onMainLoop([&] { app_.closeViewer(); });
        return {};
    }
    if (name == "open") {
        const NSInteger index = photoNumber(command);
        onMainLoop([&] { app_.openViewer(index); });
        return indexAnswer(index);
    }
    if (name == "tap-photo") {
        // A photo by its number: its name may hold line breaks or bytes a
        // command line cannot carry.
        const NSInteger index = photoNumber(command);
        const UISnapshot shot = driver_.snapshot();
        std::function<void()> tapIt;
        std::function<void(const UIElement&)> find = [&](const UIElement& element) {
            if (element.role == "thumbnail" && !element.hidden && element.state.value("index", NSInteger(-1)) == index)
                tapIt = element.onTap;
            for (const auto& child : element.children)
                find(child);
        };
        if (!shot.layers().empty())
            find(shot.layers().back());
        if (!tapIt)
            throw CommandError("no thumbnail of photo " + std::to_string(index) + " in the album on screen");
        onMainLoop(tapIt);
        return {};
    }
    if (name == "scroll") {
        const double points = pointsOf(command);
        double offset = 0;
        onMainLoop([&] { offset = app_.scrollAlbum(points); });
        Answer answer;
        answer.fields["offset"] = offset;
        return answer;
    }
    if (name == "pasteboard") {
        requireNoText(command);
        driver_.settle();
        NSString* text = UIPasteboard::generalPasteboard()->string();
        Answer answer;
        answer.fields["string"] = text ? nlohmann::json(text->str()) : nlohmann::json(nullptr);
        answer.text = text ? text->str() + "\n" : "(the pasteboard is empty)\n";
        return answer;
    }
    if (name == "opened") {
        requireNoText(command);
        driver_.settle();
        const auto& urls = UIApplication::sharedApplication()->openedURLs();
        Answer answer;
        answer.fields["urls"] = urls;
        std::string text;
        for (const auto& url : urls)
            text += url + "\n";
        answer.text = urls.empty() ? "(no URL opened yet)\n" : text;
        return answer;
    }
    if (name == "help") {
        requireNoText(command);
        Answer answer;
        auto lines = nlohmann::json::array();
        std::string_view rest = summary();
        while (!rest.empty()) {
            auto end = rest.find('\n');
            lines.push_back(std::string(rest.substr(0, end)));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        }
        answer.fields["commands"] = lines;
        answer.text = summary();
        return answer;
    }
    if (name == "quit") {
        requireNoText(command);
        quit_ = true;
        Answer answer;
        answer.text = "";
        return answer;
    }
    throw CommandError("unknown command " + foundation::quotedText(name) + "; 'help' lists the commands");
}

} // namespace viewer
