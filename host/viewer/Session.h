#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>
#include <string_view>

namespace viewer {

class CommandRunner;
class LineOutput;

// Runs one command line and gives its answer: {"ok": true, ...the command's
// fields} or {"ok": false, "error": "..."}. The script mode and the page's
// server answer with it.
nlohmann::ordered_json answerCommand(CommandRunner& runner, std::string_view line);
// The answer as one line of JSON text (no newline); bytes that are not UTF-8
// (in a file name, say) become U+FFFD.
std::string answerText(const nlohmann::ordered_json& answer);

// Reads commands, one per line, until `quit` or the end of the input. Blank
// lines are passed over. Each returns false when the output could not be
// written (the output then holds the reason).

// For scripts: exactly one line of JSON per command on `out`, {"ok": true,
// ...} or {"ok": false, "error": "..."}, and nothing else.
bool runScript(CommandRunner& runner, std::istream& in, LineOutput& out);

// For people: the screen as text at the start and after each command (or
// the command's own answer); errors as "quorix-viewer: ..." on `err`. A
// prompt is shown when `prompt` is set (the input is a terminal).
bool runInteractive(CommandRunner& runner, std::istream& in, LineOutput& out, std::ostream& err, bool prompt);

} // namespace viewer
