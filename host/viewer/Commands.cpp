#include "viewer/Commands.h"

#include "viewer/CommandError.h"
#include "viewer/WPhotosAppController.h"
#include "viewer/places/WPlacesViewController.h"

#include "foundation/NSRunLoop.h"
#include "foundation/NSString.h"
#include "foundation/QuotedText.h"
#include "uikit/UIApplication.h"
#include "uikit/UIDriver.h"

#include <charconv>
#include <cmath>

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

// A command is one line: in typed text a backslash and n stand for a line
// break, two backslashes for one.
std::string typedText(const CommandLine& command)
{
    std::string text;
    for (size_t i = 0; i < command.text.size(); ++i) {
        const char c = command.text[i];
        if (c != '\\' || i + 1 == command.text.size()) {
            text += c;
            continue;
        }
        const char next = command.text[++i];
        if (next == 'n')
            text += '\n';
        else if (next == '\\')
            text += '\\';
        else
            throw CommandError("in typed text a backslash goes before n (a line break) or another backslash, not "
                + foundation::quotedText(std::string(1, next)));
    }
    return text;
}

// Two distances in points, east and south, either may be negative: "pan -40 120".
std::pair<double, double> panOf(const CommandLine& command)
{
    requireText(command, "two distances in points, east and south");
    const auto space = command.text.find(' ');
    double distances[2] = {};
    const std::string_view parts[2] = { std::string_view(command.text).substr(0, space),
        space == std::string::npos ? std::string_view() : std::string_view(command.text).substr(space + 1) };
    for (int i = 0; i < 2; ++i) {
        auto [stop, error] = std::from_chars(parts[i].data(), parts[i].data() + parts[i].size(), distances[i]);
        if (parts[i].empty() || error != std::errc() || stop != parts[i].data() + parts[i].size() || !std::isfinite(distances[i]))
            throw CommandError("not two distances in points: " + foundation::quotedText(command.text));
    }
    return { distances[0], distances[1] };
}

WPlacesMapView& placesMap(WPhotosAppController& app)
{
    WPlacesViewController* places = app.shownPlaces();
    if (!places || !places->map())
        throw CommandError("the Places map is not on screen; 'places' opens it");
    return *places->map();
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
           "type TEXT           type TEXT in place of the editable text on screen (\\n: a line break)\n"
           "back                go back one screen\n"
           "outside             tap outside the edit menu or the open popover\n"
           "next, previous      page to the next or previous photo\n"
           "memory-warning      send the application a memory warning\n"
           "close-viewer        close the viewer (back to the album)\n"
           "open N              open the viewer on photo N, counted from 0\n"
           "scroll POINTS       scroll the list on screen (the album, a table) to POINTS from its top\n"
           "places              show the album's photos on a map\n"
           "zoom-in, zoom-out   zoom the Places map in or out one step\n"
           "pan DX DY           move the Places map DX points east and DY south\n"
           "place N             tap the Nth cluster or photo the Places map lists\n"
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
    if (name == "type") {
        driver_.type(typedText(command));
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
        const double offset = driver_.scroll(points);
        Answer answer;
        answer.fields["offset"] = offset;
        return answer;
    }
    if (name == "places") {
        requireNoText(command);
        onMainLoop([&] { app_.showPlaces(); });
        return {};
    }
    if (name == "zoom-in" || name == "zoom-out") {
        requireNoText(command);
        onMainLoop([&] {
            if (!placesMap(app_).zoomBy(name == "zoom-in" ? 1 : -1))
                throw CommandError(name == "zoom-in" ? "already zoomed in as far as the map goes" : "already zoomed out as far as the map goes");
        });
        return {};
    }
    if (name == "pan") {
        const auto distances = panOf(command);
        onMainLoop([&] {
            if (!placesMap(app_).panBy(distances.first, distances.second))
                throw CommandError("no photo has a position: the map has nothing to show");
        });
        return {};
    }
    if (name == "place") {
        const NSInteger entry = photoNumber(command);
        onMainLoop([&] {
            WPlacesMapView& map = placesMap(app_);
            if (!map.selectEntry(entry))
                throw CommandError("no place " + std::to_string(entry) + ": the map lists " + std::to_string(map.clusters().size()));
        });
        return {};
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
