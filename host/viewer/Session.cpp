#include "viewer/Session.h"

#include "viewer/Commands.h"
#include "viewer/LineOutput.h"

#include "runtime/AutoreleasePool.h"
#include "uikit/UISnapshot.h"

#include <exception>
#include <istream>
#include <ostream>
#include <string>

namespace viewer {

namespace {

bool blank(const std::string& line) { return line.find_first_not_of(" \t\r") == std::string::npos; }

} // namespace

nlohmann::ordered_json answerCommand(CommandRunner& runner, std::string_view line)
{
    // "ok" first, then the command's own fields.
    nlohmann::ordered_json reply;
    try {
        Answer answer = runner.run(line);
        reply["ok"] = true;
        for (const auto& [key, value] : answer.fields.items())
            reply[key] = value;
    } catch (const std::exception& error) {
        reply = nlohmann::ordered_json::object();
        reply["ok"] = false;
        reply["error"] = error.what();
    }
    return reply;
}

std::string answerText(const nlohmann::ordered_json& answer)
{
    return answer.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool runScript(CommandRunner& runner, std::istream& in, LineOutput& out)
{
    for (std::string line; !runner.quitRequested() && std::getline(in, line);) {
        if (blank(line))
            continue;
        AutoreleasePool pool;
        if (!out.write(answerText(answerCommand(runner, line)) + "\n"))
            return false;
    }
    return true;
}

bool runInteractive(CommandRunner& runner, std::istream& in, LineOutput& out, std::ostream& err, bool prompt)
{
    {
        AutoreleasePool pool;
        if (!out.write(UISnapshot::take().toText()))
            return false;
    }
    if (prompt && !out.write("> "))
        return false;
    for (std::string line; !runner.quitRequested() && std::getline(in, line);) {
        if (!blank(line)) {
            AutoreleasePool pool;
            try {
                Answer answer = runner.run(line);
                if (!out.write(answer.text ? *answer.text : UISnapshot::take().toText()))
                    return false;
            } catch (const std::exception& error) {
                err << "quorix-viewer: " << error.what() << std::endl;
            }
        }
        if (prompt && !runner.quitRequested() && !out.write("> "))
            return false;
    }
    return true;
}

} // namespace viewer
