#pragma once

#include "corelocation/CLLocation.h"

#include <optional>
#include <string>
#include <vector>

namespace quorix::cli {

// What the info screen shows for one photo, read from the screen itself.
struct ShownRow {
    std::string label;
    std::string detail;
    // The row carries a disclosure indicator: it leads to another screen.
    bool leadsOn = false;
};

struct ShownSection {
    int category = 0;
    std::vector<ShownRow> rows;
};

struct InfoScreenContent {
    // An image reader recognises the file's content, whether or not it can
    // read it: a photo, damaged or whole, and not a text file or a movie.
    bool image = false;
    std::string title;
    std::vector<ShownSection> sections;
    std::optional<CLLocationCoordinate2D> location;
    // The text of the photo's date stamp; empty when it has no date.
    std::string stamp;
};

// Creates the info screen for the file's asset, loads its view, and asks the
// screen's table data source what it shows, as the table would: the number
// of sections and rows, then each row's cell. The screen and the parser are
// reached by class name only.
InfoScreenContent readInfoScreen(const std::string& path);

} // namespace quorix::cli
