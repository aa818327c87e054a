#pragma once

#include "cli/Command.h"

namespace quorix::cli {

// `quorix info [--json | --csv] [-r] [-j N] PATH...`: for each file, in
// argument order (and with -r the files of each folder, in name order), what
// the info screen shows (its sections of label/value rows and its position)
// and the text of its date stamp. A path that cannot be described (nothing
// there, a folder without -r, no permission) is reported on stderr with the
// reason and makes the exit status 1; every other path is described. With -j
// the files are described in N processes at once; the output is the same.
// The table is written by InfoTable.h, the JSON lines by InfoJson.h and the
// CSV by CsvOutput.h.
Command addInfoCommand(CLI::App& app);

} // namespace quorix::cli
