#include "parser/ParserTestSupport.h"
#include "parser/TestAssets.h"

#include <filesystem>
#include <fstream>

using namespace parser_test;

namespace {

double secondsOf(const NSDate* date) { return date ? date->timeIntervalSince1970() : -1; }

TEST(DateForAsset, FallsBackToTheAssetsDateWithoutAnImageFile)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto asset = PLManagedAsset::create();
    asset->date = NSDate::dateWithTimeIntervalSince1970(1000);
    asset->dateCreated = NSDate::dateWithTimeIntervalSince1970(2000);
    EXPECT_EQ(secondsOf(parser->send<NSDate*>("dateForAsset:", asset.get())), 1000);

    asset->path = "/nonexistent/quorix/IMG_0001.JPG"_ns;
    EXPECT_EQ(secondsOf(parser->send<NSDate*>("dateForAsset:", asset.get())), 1000);
}

TEST(DateForAsset, StopsAtTheFirstDateOperationEvenWhenItAnswersNil)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto asset = PLManagedAsset::create();
    asset->dateCreated = NSDate::dateWithTimeIntervalSince1970(2000);
    EXPECT_EQ(parser->send<NSDate*>("dateForAsset:", asset.get()), nullptr);
}

TEST(DateForAsset, ProbesDateCreatedThenModificationDate)
{
    AutoreleasePool pool;
    auto parser = newParser();

    auto created = QXTestCreatedAsset::create();
    created->dateCreated = NSDate::dateWithTimeIntervalSince1970(2000);
    created->modificationDate = NSDate::dateWithTimeIntervalSince1970(3000);
    EXPECT_EQ(secondsOf(parser->send<NSDate*>("dateForAsset:", created.get())), 2000);

    auto modified = QXTestModifiedAsset::create();
    modified->dateCreated = NSDate::dateWithTimeIntervalSince1970(2000); // not answered by this class
    modified->modificationDate = NSDate::dateWithTimeIntervalSince1970(3000);
    EXPECT_EQ(secondsOf(parser->send<NSDate*>("dateForAsset:", modified.get())), 3000);

    auto dateless = QXTestDatelessAsset::create();
    dateless->modificationDate = NSDate::dateWithTimeIntervalSince1970(3000); // not answered either
    EXPECT_EQ(parser->send<NSDate*>("dateForAsset:", dateless.get()), nullptr);

    EXPECT_EQ(parser->send<NSDate*>("dateForAsset:", static_cast<NSObject*>(nullptr)), nullptr);
}

TEST(DateForAsset, FallsBackWhenTheFileIsNoImage)
{
    AutoreleasePool pool;
    auto parser = newParser();
    auto path = std::filesystem::temp_directory_path() / ("quorix-date-" + std::to_string(::getpid()) + ".txt");
    std::ofstream(path) << "2014:05:06 07:08:09\n";
    auto asset = QXTestModifiedAsset::create();
    asset->path = NSString::stringWithUTF8String(path.string());
    asset->modificationDate = NSDate::dateWithTimeIntervalSince1970(3000);
    EXPECT_EQ(secondsOf(parser->send<NSDate*>("dateForAsset:", asset.get())), 3000);
    std::filesystem::remove(path);
}

} // namespace
