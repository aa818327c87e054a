#pragma once

#include "cli/InfoScreen.h"
#include "places/PlaceJson.h"

#include <iosfwd>
#include <optional>

namespace quorix::cli {

// The info screen's table as text for a terminal `columns` wide: the title,
// then each section after a blank line, its labels in one column and its
// values beside them, both wrapped at spaces on character boundaries; the
// stamp and the place close the last section. Bytes that are not UTF-8 and
// characters that would steer the terminal are shown as U+FFFD.
void writeInfoTable(const InfoScreenContent& description, const std::optional<places::Place>& place, int columns, std::ostream& out);

// The width of the terminal standard output is on, no narrower than 40
// columns; 80 when it is none.
int terminalColumns();

} // namespace quorix::cli
