#include "parser/ParserTestSupport.h"
#include "parser/TestAssets.h"

#include "foundation/NSDateFormatter.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

using namespace parser_test;

namespace {

class FileSection : public ::testing::Test {
protected:
    void SetUp() override
    {
        asset = PLManagedAsset::create();
        parser->setAsset(asset.get());
    }

    std::vector<RowText> build()
    {
        parser->send("getFileInfo");
        EXPECT_NE(parser->basic(), nullptr);
        return rowsOf(parser->basic());
    }

    // A file of `size` bytes whose modification time is `seconds` after 1970.
    std::string makeFile(size_t size, long seconds)
    {
        auto path = std::filesystem::temp_directory_path() / ("quorix-file-section-" + std::to_string(::getpid()) + ".bin");
        {
            std::ofstream out(path, std::ios::binary);
            std::string block(size, 'x');
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        struct timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
        EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        files_.push_back(path);
        return path.string();
    }

    void TearDown() override
    {
        std::error_code ignored;
        for (const auto& file : files_)
            std::filesystem::remove(file, ignored);
    }

    AutoreleasePool pool;
    Ref<QXParser> parser = newParser();
    Ref<PLManagedAsset> asset;

private:
    std::vector<std::filesystem::path> files_;
};

TEST_F(FileSection, ShowsEverySixFactsInOrder)
{
    asset->name = "IMG_0001.JPG"_ns;
    asset->folder = "/home/user/Pictures/2014"_ns;
    asset->width = integer(3264);
    asset->height = integer(2448);
    asset->originalWidth = 4032;
    asset->originalHeight = 3024;
    asset->path = NSString::stringWithUTF8String(makeFile(1500000, 1400000000));

    auto rows = build();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], (RowText { "Name", "IMG_0001.JPG" }));
    EXPECT_EQ(rows[1], (RowText { "Directory", "/home/user/Pictures/2014" }));
    EXPECT_EQ(rows[2], (RowText { "Image Size", "3264 x 2448" })); // number objects, "%@ x %@"
    EXPECT_EQ(rows[3], (RowText { "Original Image Size", "4032 x 3024" })); // integers, "%d x %d"
    EXPECT_EQ(rows[4], (RowText { "File Size", "1.5 MB" }));
    EXPECT_EQ(rows[5].label, "Modified");
    auto modified = NSDate::dateWithTimeIntervalSince1970(1400000000);
    EXPECT_EQ(rows[5].value, parser->dateFormater()->stringFromDate(modified)->str());
    EXPECT_NE(rows[5].value.find("2014"), std::string::npos) << rows[5].value;
}

TEST_F(FileSection, WritesObjectSizesAsTheirTextAndLeavesOutAbsentOnes)
{
    asset->width = num(3264.5);
    asset->height = integer(2448);
    build();
    EXPECT_EQ(valueOf(parser->basic(), "Image Size"), "3264.5 x 2448");

    asset->height = nullptr;
    build();
    EXPECT_EQ(valueOf(parser->basic(), "Image Size"), std::nullopt);

    // A number object holding zero is still present.
    asset->width = integer(0);
    asset->height = integer(0);
    build();
    EXPECT_EQ(valueOf(parser->basic(), "Image Size"), "0 x 0");
}

TEST_F(FileSection, TakesZeroIntegerSizesAsAbsent)
{
    struct Case {
        NSInteger width;
        NSInteger height;
        const char* text; // nullptr: no row
    };
    constexpr Case cases[] = {
        { 3264, 2448, "3264 x 2448" },
        { 0, 2448, nullptr },
        { 3264, 0, nullptr },
        { 0, 0, nullptr },
        { -1, 5, "-1 x 5" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        asset->originalWidth = c.width;
        asset->originalHeight = c.height;
        build();
        auto value = valueOf(parser->basic(), "Original Image Size");
        if (c.text)
            EXPECT_EQ(value, c.text);
        else
            EXPECT_EQ(value, std::nullopt);
    }
}

TEST_F(FileSection, GivesAVideoNoSizeRows)
{
    asset->photo = false;
    asset->name = "IMG_0002.MOV"_ns;
    asset->width = integer(1920);
    asset->height = integer(1080);
    asset->originalWidth = 1920;
    asset->originalHeight = 1080;
    asset->path = NSString::stringWithUTF8String(makeFile(998, 1400000000));

    EXPECT_EQ(build(), (std::vector<RowText> { { "Name", "IMG_0002.MOV" }, { "File Size", "998 Bytes" }, { "Modified", parser->dateFormater()->stringFromDate(NSDate::dateWithTimeIntervalSince1970(1400000000).get())->str() } }));
}

TEST_F(FileSection, KeepsAnEmptyNameAndSkipsFileFactsWithoutAReadableFile)
{
    asset->name = ""_ns;
    EXPECT_EQ(build(), (std::vector<RowText> { { "Name", "" } }));

    asset->path = "/nonexistent/quorix/IMG_0003.JPG"_ns;
    EXPECT_EQ(build(), (std::vector<RowText> { { "Name", "" } }));
}

} // namespace
