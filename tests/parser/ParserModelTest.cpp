#include "parser/ParserTestSupport.h"
#include "parser/TestAssets.h"

#include "foundation/NSDateFormatter.h"
#include "parser/QXSection.h"

#include <latch>
#include <thread>
#include <vector>

using namespace parser_test;

namespace {

TEST(QXRow, NeedsANonEmptyLabelAndAValue)
{
    AutoreleasePool pool;
    EXPECT_EQ(QXRow::rowWithLabelAndValue(nullptr, "x"_ns.get()), nullptr);
    EXPECT_EQ(QXRow::rowWithLabelAndValue(""_ns.get(), "x"_ns.get()), nullptr);
    EXPECT_EQ(QXRow::rowWithLabelAndValue("Name"_ns.get(), nullptr), nullptr);

    auto empty = QXRow::rowWithLabelAndValue("Name"_ns.get(), ""_ns.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->label()->str(), "Name");
    EXPECT_EQ(empty->value()->str(), "");
}

TEST(QXRow, WritesANonStringValueAsItsText)
{
    AutoreleasePool pool;
    struct Case {
        Ref<NSObject> value;
        const char* text;
    };
    const Case cases[] = {
        { integer(72), "72" },
        { num(28.35), "28.35" },
        { num(0.0025), "0.0025" },
        { num(-0.5), "-0.5" },
        { "as is"_ns, "as is" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto row = QXRow::rowWithLabelAndValue("Label"_ns.get(), c.value);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->value()->str(), c.text);
    }
}

TEST(QXRow, KeepsTheTextsItIsGivenAfterTheCallerLetsThemGo)
{
    AutoreleasePool pool;
    auto row = QXRow::row();
    auto label = "Make"_ns;
    row->send("setLabel:", label);
    row->send("setValue:", "Canon"_ns);
    label = nullptr;
    EXPECT_EQ(textOf(row->send<NSString*>("label")), "Make");
    EXPECT_EQ(textOf(row->send<NSString*>("value")), "Canon");
}

TEST(ParserFileSize, SwitchesToTheNextDecimalUnitAt999)
{
    AutoreleasePool pool;
    auto parser = newParser();
    struct Case {
        long long bytes;
        const char* text;
    };
    constexpr Case cases[] = {
        { -5, "-5 Bytes" },
        { 0, "0 Bytes" },
        { 998, "998 Bytes" },
        { 999, "1.0 KB" },
        { 1500, "1.5 KB" },
        { 998999, "999.0 KB" },
        { 999000, "1.0 MB" },
        { 1500000, "1.5 MB" },
        { 999000000, "1.0 GB" },
        { 999000000000, "1.0 TB" },
        { 2500000000000000, "2500.0 TB" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(textOf(parser->send<NSString*>("prettyFileSize:", c.bytes)), c.text);
    }
}

TEST(ParserSections, FollowTheFixedOrderAndLeaveEmptyKindsOut)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto asset = PLManagedAsset::create();
    asset->name = "IMG_0001.JPG"_ns;
    asset->photo = false;
    // No file: the file facts are all that a parse builds, so a GPS list set
    // beforehand survives into the sections.
    auto gps = NSMutableArray::array();
    gps->addObject(QXRow::rowWithLabelAndValue("Location"_ns.get(), "1.000000, 2.000000"_ns.get()));
    parser->setGps(gps);
    parser->setTiff(NSMutableArray::array().get());

    NSArray* sections = parser->send<NSArray*>("parseAsset:", asset.get());
    ASSERT_NE(sections, nullptr);
    ASSERT_EQ(sections->count(), 2u);
    auto* first = objc_cast<QXSection>(sections->objectAtIndex(0));
    auto* second = objc_cast<QXSection>(sections->objectAtIndex(1));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->category(), 1);
    EXPECT_EQ(rowsOf(first->items()), (std::vector<RowText> { { "Name", "IMG_0001.JPG" } }));
    EXPECT_EQ(second->category(), 2);
    EXPECT_EQ(second->items(), gps.get());
}

TEST(ParserSections, PutGPSFirstWhenThereAreNoFileFacts)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto asset = PLManagedAsset::create();
    asset->photo = false;
    auto exif = NSMutableArray::array();
    exif->addObject(QXRow::rowWithLabelAndValue("F Number"_ns.get(), "f/2.2"_ns.get()));
    auto gps = NSMutableArray::array();
    gps->addObject(QXRow::rowWithLabelAndValue("Location"_ns.get(), "1.000000, 2.000000"_ns.get()));
    parser->setExif(exif);
    parser->setGps(gps);

    NSArray* sections = parser->send<NSArray*>("parseAsset:", asset.get());
    ASSERT_EQ(sections->count(), 2u);
    EXPECT_EQ(objc_cast<QXSection>(sections->objectAtIndex(0))->category(), 2);
    EXPECT_EQ(objc_cast<QXSection>(sections->objectAtIndex(1))->category(), 4);
}

TEST(ParserSections, AreEmptyForAnAssetThatYieldsNothing)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto asset = PLManagedAsset::create();
    NSArray* sections = parser->send<NSArray*>("parseAsset:", asset.get());
    ASSERT_NE(sections, nullptr);
    EXPECT_EQ(sections->count(), 0u);
    // The file facts were built, as an empty list.
    ASSERT_NE(parser->basic(), nullptr);
    EXPECT_EQ(parser->basic()->count(), 0u);
}

TEST(ParserReset, ClearsTheParseStateWhileReturnedSectionsKeepTheirRows)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto asset = PLManagedAsset::create();
    asset->name = "a.jpg"_ns;
    asset->folder = "/photos"_ns;
    asset->position = CLLocation::initWithLatitudeLongitude(1, 2);
    parser->setGps(NSMutableArray::array().get());
    parser->setTiff(NSMutableArray::array().get());
    parser->setExif(NSMutableArray::array().get());
    parser->setLocation(CLLocation::initWithLatitudeLongitude(3, 4).get());
    auto* display = parser->dateFormater();
    auto* exifDates = parser->privateDateFormater();

    Ref<NSArray> sections = parser->send<NSArray*>("parseAsset:", asset.get());
    EXPECT_EQ(parser->asset(), asset.get());
    parser->send("resetParser");

    EXPECT_EQ(parser->basic(), nullptr);
    EXPECT_EQ(parser->gps(), nullptr);
    EXPECT_EQ(parser->tiff(), nullptr);
    EXPECT_EQ(parser->exif(), nullptr);
    EXPECT_EQ(parser->location(), nullptr);
    EXPECT_EQ(parser->asset(), nullptr);
    EXPECT_EQ(parser->dateFormater(), display);
    EXPECT_EQ(parser->privateDateFormater(), exifDates);
    ASSERT_EQ(sections->count(), 1u);
    EXPECT_EQ(rowsOf(objc_cast<QXSection>(sections->objectAtIndex(0))->items()),
        (std::vector<RowText> { { "Name", "a.jpg" }, { "Directory", "/photos" } }));
}

TEST(ParserFormatters, AreMadeOnceWithTheirFixedSettings)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto* display = parser->send<NSDateFormatter*>("dateFormater");
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->dateStyle(), NSDateFormatterLongStyle);
    EXPECT_EQ(display->timeStyle(), NSDateFormatterShortStyle);
    EXPECT_EQ(parser->send<NSDateFormatter*>("dateFormater"), display);

    auto* exifDates = parser->send<NSDateFormatter*>("privateDateFormater");
    ASSERT_NE(exifDates, nullptr);
    EXPECT_EQ(exifDates->dateFormat(), "yyyy:MM:dd HH:mm:ss");
    EXPECT_NE(exifDates, display);
}

// Threads that ask at the same moment, before anyone has asked (each test
// runs in a process of its own under ctest), through the runtime as the
// library's screens do or directly, all get one parser, made whole.
TEST(ParserShared, ConcurrentFirstCallsFromSeveralThreadsGetOneObject)
{
    constexpr int kThreads = 8;
    std::latch start(kThreads);
    std::vector<id> answers(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            answers[i] = i % 2 ? objc::sendClass<id>(objc_getClass("QXParser"), "sharedQXParser") : QXParser::sharedQXParser();
        });
    for (auto& thread : threads)
        thread.join();

    auto* shared = objc_cast<QXParser>(answers.front());
    ASSERT_NE(shared, nullptr);
    for (id answer : answers)
        EXPECT_EQ(answer, shared);
    EXPECT_NE(shared->dateFormater(), nullptr);
    EXPECT_NE(shared->privateDateFormater(), nullptr);
}

} // namespace
