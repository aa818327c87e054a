#pragma once

#include "cli/Command.h"

namespace quorix::cli {

// `quorix settings` lists the three settings, one `KEY true|false` per line;
// `quorix settings KEY true|false` changes one through the settings store.
Command addSettingsCommand(CLI::App& app);

} // namespace quorix::cli
