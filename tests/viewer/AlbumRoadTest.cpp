// The album as a person meets it in script mode: a grid of square
// thumbnails with 1-point gaps, 4 columns on a phone and more on a tablet,
// only the cells on screen listed; a tap on a photo far down scrolls to it
// and opens the viewer there; scrolling to the end shows the last photos.

#include "viewer/ViewerSession.h"

#include <filesystem>

using namespace viewer_testing;

namespace {

constexpr int photoCount = 1000;

std::string photoName(int i) { return "p" + std::to_string(10000 + i).substr(1) + ".jpg"; }

// Every thumbnail the album's grid lists, in order.
std::vector<const json*> thumbnails(const json& grid)
{
    std::vector<const json*> cells;
    for (const auto& child : grid.at("children"))
        if (child.at("role") == "thumbnail")
            cells.push_back(&child);
    return cells;
}

double edge(const json& frame, const char* side) { return frame.at(side).get<double>(); }

} // namespace

TEST(AlbumRoad, AGridOfThumbnailsThatScrollsToThePhotoTapped)
{
    // A thousand photos: one small JPEG, linked under a thousand names.
    fixtures::TempDir folder;
    const std::string first = fixtures::writeJpeg(folder.path(), photoName(0), 64, 48);
    for (int i = 1; i < photoCount; ++i)
        std::filesystem::create_hard_link(first, folder.path() + "/" + photoName(i));

    struct Device {
        const char* name;
        double width;
    };
    for (const Device device : { Device { "phone", 320 }, Device { "tablet", 768 } }) {
        SCOPED_TRACE(device.name);
        const std::string last = photoName(photoCount - 1);
        Session session = runScript({ "--device", device.name, folder.path() },
            { "tap Photos", "show", "tap " + last, "show", "tap Photos", "scroll 1000000", "show", "scroll 0", "show" });
        ASSERT_EQ(session.status, 0) << session.err;
        expectEveryAnswerOk(session);
        ASSERT_EQ(session.answers.size(), 9u);
        const auto& a = session.answers;

        const json* grid = findElement(layers(a[1])[0], "grid");
        ASSERT_NE(grid, nullptr);
        const json& state = grid->at("state");
        const int columns = state.at("columns");
        if (std::string(device.name) == "phone")
            EXPECT_EQ(columns, 4);
        else
            EXPECT_GT(columns, 4);
        EXPECT_EQ(state.at("count"), photoCount);

        // Square cells side by side with 1-point gaps, filling the width;
        // only the rows on screen are there.
        auto cells = thumbnails(*grid);
        const double gridHeight = edge(grid->at("frame"), "height");
        const double side = edge(cells.at(0)->at("frame"), "width");
        ASSERT_GT(side, 0);
        const size_t rowsOnScreen = size_t(std::ceil((gridHeight + 1) / (side + 1)));
        EXPECT_LE(cells.size(), rowsOnScreen * size_t(columns));
        EXPECT_GE(cells.size(), (rowsOnScreen - 1) * size_t(columns));
        for (size_t i = 0; i < cells.size(); ++i) {
            const json& frame = cells[i]->at("frame");
            EXPECT_EQ(cells[i]->at("label"), photoName(int(i)));
            EXPECT_EQ(cells[i]->at("state").at("index"), i);
            EXPECT_DOUBLE_EQ(edge(frame, "width"), side);
            EXPECT_DOUBLE_EQ(edge(frame, "height"), side);
            EXPECT_NEAR(edge(frame, "x"), double(i % size_t(columns)) * (side + 1), 1e-6);
            EXPECT_NEAR(edge(frame, "y") - edge(grid->at("frame"), "y"), double(i / size_t(columns)) * (side + 1), 1e-6);
        }
        EXPECT_NEAR(double(columns) * side + double(columns - 1), device.width, 1e-6);

        // The last photo, far off screen: the tap scrolls to it and opens it.
        EXPECT_EQ(findLayer(a[3], "viewer")->at("text"), std::to_string(photoCount) + " of " + std::to_string(photoCount));
        EXPECT_NE(tile(a[3], last), nullptr);

        // Scrolled as far as it goes: the last photo is on screen, the first is not.
        const json* bottom = findElement(layers(a[6])[0], "grid");
        ASSERT_NE(bottom, nullptr);
        EXPECT_DOUBLE_EQ(a[5].at("offset").get<double>(), bottom->at("state").at("contentHeight").get<double>() - gridHeight);
        EXPECT_NE(findElement(*bottom, "thumbnail", last), nullptr);
        EXPECT_EQ(findElement(*bottom, "thumbnail", photoName(0)), nullptr);
        EXPECT_LE(thumbnails(*bottom).size(), (rowsOnScreen + 1) * size_t(columns));
        // And back at the top, the first photos again.
        EXPECT_NE(findElement(layers(a[8])[0], "thumbnail", photoName(0)), nullptr);
        EXPECT_EQ(findElement(layers(a[8])[0], "thumbnail", last), nullptr);
    }
}
