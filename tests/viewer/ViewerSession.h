#pragma once

// Runs the built `quorix-viewer` as a script would: commands on its standard
// input, one JSON answer per line read back from its standard output. Also
// the few questions the tests ask of a screen's JSON.

#include "cli/ChildProcess.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace viewer_testing {

using json = nlohmann::json;

inline const std::string kViewer = std::string(QUORIX_BINARY_DIR) + "/bin/quorix-viewer";
// The test libraries: 10-alpha.so (which also watches the tiles) and 20-zulu.so.
inline const std::string kPluginDir = QUORIX_PLUGIN_DIR;

struct Session {
    int status = -1;
    std::vector<json> answers;
    std::string err;
    std::string out; // the raw standard output
};

// An English environment with its own settings folder and no library
// folder from the environment running the tests.
inline std::map<std::string, std::string> sessionEnvironment(const fixtures::TempDir& home)
{
    return {
        { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" },
        { "XDG_CONFIG_HOME", home.path() }, { "QUORIX_LIBRARY_DIR", "" },
        // Thumbnails go to the test's own folder, never the real ~/.cache.
        { "XDG_CACHE_HOME", home.path() + "/cache" },
    };
}

// Runs the viewer with `arguments` and `input` as its standard input.
inline testing_support::ChildResult runViewer(const std::vector<std::string>& arguments, const std::string& input,
    const std::map<std::string, std::string>& environment = {}, const std::string& program = kViewer)
{
    fixtures::TempDir scratch;
    auto env = sessionEnvironment(scratch);
    for (const auto& [name, value] : environment)
        env[name] = value;
    return testing_support::runProgramWithInput(fixtures::writeFile(scratch.path(), "input.txt", input), program, arguments, env);
}

// Runs the viewer with --script, `arguments` and one command per line.
inline Session runScript(const std::vector<std::string>& arguments, const std::vector<std::string>& commands,
    const std::map<std::string, std::string>& environment = {}, const std::string& program = kViewer)
{
    std::string input;
    for (const auto& command : commands)
        input += command + "\n";
    std::vector<std::string> all { "--script" };
    all.insert(all.end(), arguments.begin(), arguments.end());
    auto result = runViewer(all, input, environment, program);

    Session session { result.status, {}, result.err, result.out };
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        try {
            session.answers.push_back(json::parse(line));
        } catch (const json::exception&) {
            ADD_FAILURE() << "standard output holds a line that is not JSON: " << line;
        }
    }
    return session;
}

// Every answer from the `from`th on says "ok": true.
inline void expectEveryAnswerOk(const Session& session, size_t from = 0)
{
    for (size_t i = from; i < session.answers.size(); ++i)
        EXPECT_EQ(session.answers[i].at("ok"), true) << "command " << i << ": " << session.answers[i].dump();
}

// The layers of a `show` answer.
inline const json& layers(const json& showAnswer) { return showAnswer.at("screen").at("layers"); }

// The first element, depth first, with the role and (when given) text or label.
inline const json* findElement(const json& element, const std::string& role, const std::string& name = {})
{
    const bool named = name.empty() || element.value("text", "") == name || element.value("label", "") == name;
    if (element.value("role", "") == role && named)
        return &element;
    if (!element.contains("children"))
        return nullptr;
    for (const auto& child : element.at("children")) {
        if (const json* found = findElement(child, role, name))
            return found;
    }
    return nullptr;
}

inline const json* findLayer(const json& showAnswer, const std::string& role)
{
    for (const auto& layer : layers(showAnswer)) {
        if (layer.at("role") == role)
            return &layer;
    }
    return nullptr;
}

// The texts of a bar's items in the snapshot's order ("" when the bar is absent).
inline std::vector<std::string> barTexts(const json& showAnswer, const std::string& bar)
{
    std::vector<std::string> texts;
    const json* viewer = findLayer(showAnswer, "viewer");
    const json* found = viewer ? findElement(*viewer, bar) : nullptr;
    if (!found)
        return texts;
    for (const auto& item : found->at("children"))
        texts.push_back(item.value("text", item.value("label", "")));
    return texts;
}

// The item's frame's x in its bar.
inline double itemX(const json& showAnswer, const std::string& bar, const std::string& text)
{
    const json* viewer = findLayer(showAnswer, "viewer");
    const json* found = viewer ? findElement(*viewer, bar) : nullptr;
    const json* item = found ? findElement(*found, "barButton", text) : nullptr;
    return item ? item->at("frame").at("x").get<double>() : -1;
}

// The photo tile on screen: the view labelled with its photo's file name.
inline const json* tile(const json& showAnswer, const std::string& fileName)
{
    const json* viewer = findLayer(showAnswer, "viewer");
    return viewer ? findElement(*viewer, "view", fileName) : nullptr;
}

// The photo the info screen in the layer of `role` describes: its Name
// row's value; "" when there is no such layer or row.
inline std::string infoPhotoName(const json& showAnswer, const std::string& role)
{
    const json* layer = findLayer(showAnswer, role);
    const json* name = layer ? findElement(*layer, "cell", "Name") : nullptr;
    return name ? name->at("state").value("detail", "") : "";
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> list;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        list.push_back(line);
    return list;
}

// Three small photos, a.jpg to c.jpg, each with its own capture date, and a
// text file the folder listing must pass over.
struct PhotoFolder {
    fixtures::TempDir dir;
    PhotoFolder()
    {
        fixtures::writeJpeg(dir.path(), "b.jpg", 64, 48, { { "Exif.Photo.DateTimeOriginal", "2012:02:02 02:02:02" } });
        fixtures::writeJpeg(dir.path(), "a.jpg", 64, 48, { { "Exif.Photo.DateTimeOriginal", "2011:01:01 01:01:01" } });
        fixtures::writeJpeg(dir.path(), "c.JPG", 48, 64, { { "Exif.Photo.DateTimeOriginal", "2013:03:03 03:03:03" } });
        fixtures::writeFile(dir.path(), "notes.txt", "not a photo");
    }
    std::string file(const std::string& name) const { return dir.file(name); }
};

} // namespace viewer_testing
