// `quorix info`, run as a person or a script runs it: the built program on
// files made for each test.

#include "cli/ChildProcess.h"
#include "cli/ProgramForUser.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace {

using fixtures::TempDir;
using json = nlohmann::ordered_json; // keeps the order of keys as printed
using testing_support::ChildResult;

const std::string kQuorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";

// An English environment whatever the one running the tests says.
const std::map<std::string, std::string> kEnglish {
    { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" },
};

ChildResult info(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = kEnglish)
{
    std::vector<std::string> all { "info" };
    all.insert(all.end(), arguments.begin(), arguments.end());
    return testing_support::runProgram(kQuorix, all, environment);
}

std::vector<json> jsonLines(const std::string& out)
{
    std::vector<json> objects;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        objects.push_back(json::parse(line));
    return objects;
}

std::vector<std::string> textLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The value of the row with this label in the section of this category; "(none)" when absent.
std::string rowValue(const json& object, int category, std::string_view label)
{
    for (const auto& section : object["sections"]) {
        if (section["category"] != category)
            continue;
        for (const auto& row : section["rows"]) {
            if (row["label"] == label)
                return row["value"];
        }
    }
    return "(none)";
}

// Terminal columns of a UTF-8 line, counting the CJK ideographs used here as
// two; -1 when the line is not UTF-8.
int columns(std::string_view line)
{
    int count = 0;
    for (size_t i = 0; i < line.size();) {
        auto lead = static_cast<unsigned char>(line[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > line.size())
            return -1;
        unsigned codePoint = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(line[i + k]);
            if ((next >> 6) != 2)
                return -1;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        count += codePoint >= 0x4E00 && codePoint <= 0x9FFF ? 2 : 1;
        i += length;
    }
    return count;
}

// A photo with a row in every section, taken south and west of zero.
std::string writeRichPhoto(const TempDir& dir, const std::string& name)
{
    return fixtures::writeJpeg(dir.path(), name, 64, 48,
        {
            { "Exif.Image.Make", "Quorix Test" },
            { "Exif.Photo.FNumber", "22/10" },
            { "Exif.Photo.DateTimeOriginal", "2014:05:06 07:08:09" },
            { "Exif.GPSInfo.GPSLatitudeRef", "S" },
            { "Exif.GPSInfo.GPSLatitude", "33/1 52/1 0/1" },
            { "Exif.GPSInfo.GPSLongitudeRef", "W" },
            { "Exif.GPSInfo.GPSLongitude", "70/1 30/1 0/1" },
        });
}

TEST(InfoJson, DescribesEachSectionTheLocationAndTheStamp)
{
    TempDir dir;
    auto path = writeRichPhoto(dir, "rich.jpg");
    auto result = info({ "--json", path });
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 1U);
    const json& object = objects[0];

    std::vector<std::string> keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string> { "path", "sections", "location", "place", "stamp" }));
    EXPECT_EQ(object["path"], path);

    std::vector<int> categories;
    for (const auto& section : object["sections"])
        categories.push_back(section["category"]);
    EXPECT_EQ(categories, (std::vector<int> { 1, 2, 3, 4 }));

    EXPECT_EQ(rowValue(object, 1, "Name"), "rich.jpg");
    EXPECT_EQ(rowValue(object, 1, "Directory"), dir.path());
    EXPECT_EQ(rowValue(object, 1, "Image Size"), "64 x 48");
    EXPECT_EQ(rowValue(object, 2, "Location"), "-33.866667, -70.500000");
    EXPECT_EQ(rowValue(object, 2, "Show Location"), "");
    EXPECT_EQ(rowValue(object, 2, "Show Location in Maps app"), "");
    EXPECT_EQ(rowValue(object, 3, "Make"), "Quorix Test");
    EXPECT_EQ(rowValue(object, 4, "F Number"), "f/2.2");
    EXPECT_EQ(rowValue(object, 4, "Date Time Original"), "2014:05:06 07:08:09");

    ASSERT_TRUE(object["location"].is_object());
    EXPECT_NEAR(object["location"]["latitude"].get<double>(), -33.8666666667, 1e-9);
    EXPECT_NEAR(object["location"]["longitude"].get<double>(), -70.5, 1e-9);
    EXPECT_TRUE(object["stamp"].is_string());
    EXPECT_NE(object["stamp"], "");
}

TEST(InfoJson, KeepsTheOrderOfTheArguments)
{
    TempDir dir;
    auto first = fixtures::writeJpeg(dir.path(), "b.jpg", 8, 8);
    auto second = fixtures::writeJpeg(dir.path(), "a.jpg", 8, 8);
    auto result = info({ "--json", first, second, first });
    ASSERT_EQ(result.status, 0) << result.err;
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 3U);
    EXPECT_EQ(objects[0]["path"], first);
    EXPECT_EQ(objects[1]["path"], second);
    EXPECT_EQ(objects[2]["path"], first);
}

TEST(InfoJson, ReportsMissingPathsAndStillDescribesTheOthers)
{
    TempDir dir;
    auto photo = fixtures::writeJpeg(dir.path(), "here.jpg", 8, 8);
    auto other = fixtures::writeJpeg(dir.path(), "there.jpg", 8, 8);
    auto notes = fixtures::writeFile(dir.path(), "notes.txt", "plain text\n");
    const std::string missing = dir.file("gone.jpg");
    const std::string underAFile = notes + "/inside.jpg";
    auto result = info({ "--json", photo, missing, underAFile, other });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "quorix: " + missing + ": No such file or directory\n"
                          "quorix: " + underAFile + ": Not a directory\n");
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 2U);
    EXPECT_EQ(objects[0]["path"], photo);
    EXPECT_EQ(objects[1]["path"], other);
}

// The first bytes of a JPEG whose file was cut short: its EXIF block begins
// and breaks off, so no reader can read it.
std::string cutShortJpeg(const TempDir& dir, const std::string& name)
{
    auto whole = fixtures::writeJpeg(dir.path(), name + ".whole", 8, 8, { { "Exif.Image.Make", std::string(200, 'M') } });
    return fixtures::writeFile(dir.path(), name, fixtures::readFile(whole).substr(0, 60));
}

TEST(InfoJson, GivesAPhotoCutShortItsFileRows)
{
    TempDir dir;
    auto cut = cutShortJpeg(dir, "cut.jpg");
    auto result = info({ "--json", cut });
    ASSERT_EQ(result.status, 0) << result.err;
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 1U);
    const json& object = objects[0];
    ASSERT_EQ(object["sections"].size(), 1U);
    EXPECT_EQ(object["sections"][0]["category"], 1);
    std::vector<std::string> labels;
    for (const auto& row : object["sections"][0]["rows"])
        labels.push_back(row["label"]);
    EXPECT_EQ(labels, (std::vector<std::string> { "Name", "Directory", "File Size", "Modified" }));
    EXPECT_EQ(rowValue(object, 1, "File Size"), "60 Bytes");
    EXPECT_TRUE(object["location"].is_null());
    // No capture date in the file: the stamp shows the modification date.
    EXPECT_EQ(object["stamp"], rowValue(object, 1, "Modified"));
}

TEST(InfoNotAnImage, RefusesWhatNoImageReaderRecognisesAndDescribesDamagedPhotos)
{
    TempDir dir;
    auto readme = fixtures::writeFile(dir.path(), "README", "Photos of the trip, sorted by day.\n");
    auto text = fixtures::writeFile(dir.path(), "text.jpg", "not a picture, whatever its name says\n");
    auto empty = fixtures::writeFile(dir.path(), "empty", "");
    auto movie = fixtures::writeFile(dir.path(), "clip.mp4", std::string("\0\0\0\x18" "ftypisom\0\0\x02\0" "isomiso2" "\0\0\0\x08" "free", 32));
    // A pipe is never opened: it would wait for a writer.
    const std::string pipe = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto cut = cutShortJpeg(dir, "cut.jpg");
    auto photo = fixtures::writeJpeg(dir.path(), "photo.jpg", 8, 8);
    const std::vector<std::string> paths { readme, cut, text, empty, movie, pipe, photo };
    const std::string refusals = "quorix: " + readme + ": not an image\n"
                                 "quorix: " + text + ": not an image\n"
                                 "quorix: " + empty + ": not an image\n"
                                 "quorix: " + movie + ": not an image\n"
                                 "quorix: " + pipe + ": not an image\n";
    for (const char* jobs : { "1", "4" }) {
        SCOPED_TRACE(std::string("jobs ") + jobs);
        std::vector<std::string> arguments { "--json", "-j", jobs };
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        auto result = info(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, refusals);
        auto objects = jsonLines(result.out);
        ASSERT_EQ(objects.size(), 2U);
        EXPECT_EQ(objects[0]["path"], cut);
        EXPECT_EQ(objects[1]["path"], photo);

        // As text: the two tables and nothing of the others.
        arguments.erase(arguments.begin());
        auto shown = info(arguments);
        EXPECT_EQ(shown.status, 1);
        EXPECT_EQ(shown.err, refusals);
        auto lines = textLines(shown.out);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Quorix"), 2);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("Stamp "); }), 2);
    }
}

TEST(InfoNotAnImage, SaysSoInThePersonsLanguage)
{
    TempDir dir;
    auto text = fixtures::writeFile(dir.path(), "text.jpg", "plain text\n");
    const std::map<std::string, std::string> german { { "LANGUAGE", "de" }, { "LC_ALL", "de_DE.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "" } };
    auto result = info({ text }, german);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "quorix: " + text + ": kein Bild\n");
    EXPECT_EQ(result.out, "");
}

TEST(InfoJson, ReplacesBytesThatAreNotUtf8)
{
    TempDir dir;
    auto path = fixtures::writeJpeg(dir.path(), "bad\xFF.jpg", 8, 8);
    auto result = info({ "--json", path });
    ASSERT_EQ(result.status, 0) << result.err;
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 1U);
    EXPECT_EQ(objects[0]["path"], dir.path() + "/bad\xEF\xBF\xBD.jpg");
    EXPECT_EQ(rowValue(objects[0], 1, "Name"), "bad\xEF\xBF\xBD.jpg");

    // The exact bytes stay in "path_bytes", two hex digits each.
    ASSERT_TRUE(objects[0]["path_bytes"].is_string());
    std::string hex = objects[0]["path_bytes"];
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    EXPECT_EQ(bytes, path);
    EXPECT_EQ(hex.size(), 2 * path.size());
}

TEST(InfoJson, EscapesWhatJsonStringsCannotHoldAsTheyAre)
{
    TempDir dir;
    // A file name may hold any byte but '/' and NUL; an EXIF text with a
    // control character is refused by the reader, so the name carries them.
    const std::string name = "Say \"cheese\" \\ back\x01slash caf\xC3\xA9.jpg";
    auto path = fixtures::writeJpeg(dir.path(), name, 8, 8);
    auto result = info({ "--json", path });
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string escaped = "\"value\":\"Say \\\"cheese\\\" \\\\ back\\u0001slash caf\xC3\xA9.jpg\"";
    EXPECT_NE(result.out.find(escaped), std::string::npos)
        << "escaped as JSON escapes them, UTF-8 kept as it is: " << result.out;
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 1U);
    EXPECT_EQ(objects[0]["path"], path);
    EXPECT_EQ(rowValue(objects[0], 1, "Name"), name);
}

TEST(InfoErrors, SaysWhyEachPathCannotBeDescribedAndDescribesTheOthers)
{
    TempDir dir;
    auto photo = fixtures::writeJpeg(dir.path(), "here.jpg", 8, 8);
    auto notes = fixtures::writeFile(dir.path(), "notes.txt", "plain text\n");
    const std::string folder = dir.file("folder");
    std::filesystem::create_directory(folder);
    const std::string loop = dir.file("loop");
    std::filesystem::create_symlink("loop", loop);
    const std::string longName = dir.file(std::string(300, 'n') + ".jpg");
    const std::string underAFile = notes + "/inside.jpg";

    for (bool asJson : { true, false }) {
        SCOPED_TRACE(asJson ? "json" : "text");
        std::vector<std::string> arguments { folder, photo, loop, longName, underAFile };
        if (asJson)
            arguments.insert(arguments.begin(), "--json");
        auto result = info(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "quorix: " + folder + ": Is a directory\n"
                              "quorix: " + loop + ": Too many levels of symbolic links\n"
                              "quorix: " + longName + ": File name too long\n"
                              "quorix: " + underAFile + ": Not a directory\n");
        if (asJson) {
            auto objects = jsonLines(result.out);
            ASSERT_EQ(objects.size(), 1U);
            EXPECT_EQ(objects[0]["path"], photo);
        } else {
            EXPECT_TRUE(result.out.starts_with("Quorix\n")) << result.out;
        }
    }
}

TEST(InfoErrors, SaysAFileMayNotBeReadAndDescribesTheOthers)
{
    TempDir dir;
    // Another user must reach the folder to meet the file's refusal.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read
            | std::filesystem::perms::group_exec | std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    auto secret = fixtures::writeJpeg(dir.path(), "secret.jpg", 8, 8);
    auto photo = fixtures::writeJpeg(dir.path(), "open.jpg", 8, 8);
    std::filesystem::permissions(secret, std::filesystem::perms::none);

    testing_support::ProgramForUser quorix(QUORIX_BINARY_DIR, "quorix", testing_support::unprivilegedUser());
    if (auto reason = quorix.whyNot({ photo }); !reason.empty())
        GTEST_SKIP() << reason;
    auto result = quorix.run({ "info", "--json", secret, photo }, kEnglish);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "quorix: " + secret + ": Permission denied\n");
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 1U);
    EXPECT_EQ(objects[0]["path"], photo);
}

TEST(InfoLocalization, FollowsTheLanguageOfTheEnvironment)
{
    TempDir dir;
    auto path = writeRichPhoto(dir, "rich.jpg");
    const std::map<std::string, std::string> german { { "LANGUAGE", "de" }, { "LC_ALL", "de_DE.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "" } };
    auto result = info({ "--json", path }, german);
    ASSERT_EQ(result.status, 0) << result.err;
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 1U);
    EXPECT_EQ(rowValue(objects[0], 1, "Bildgröße"), "64 x 48");
    EXPECT_EQ(rowValue(objects[0], 1, "Ordner"), dir.path());
    EXPECT_EQ(rowValue(objects[0], 2, "Ort"), "-33.866667, -70.500000");
    EXPECT_EQ(rowValue(objects[0], 3, "Hersteller"), "Quorix Test");
    EXPECT_EQ(rowValue(objects[0], 4, "Blende"), "f/2.2");
    EXPECT_EQ(rowValue(objects[0], 4, "F Number"), "(none)");
    EXPECT_EQ(objects[0]["stamp"], "6. Mai 2014 um 07:08");
    // The text's last rows, the stamp and the place, are labelled in the same language.
    auto text = textLines(info({ path }, german).out);
    ASSERT_GE(text.size(), 2U);
    EXPECT_EQ(text[text.size() - 2], "Datumsstempel         6. Mai 2014 um 07:08");
    EXPECT_EQ(text.back(), "Aufnahmeort           Santiago, Chile (48.8 km)");
}

TEST(InfoStamp, ShowsWhenAPhotoWithoutAnOriginalDateWasDigitizedOrWritten)
{
    TempDir dir;
    auto digitized = fixtures::writeJpeg(dir.path(), "scan.jpg", 8, 8,
        { { "Exif.Photo.DateTimeDigitized", "2011:02:03 04:05:06" }, { "Exif.Image.DateTime", "2012:01:01 00:00:00" } });
    auto written = fixtures::writeJpeg(dir.path(), "copied.jpg", 8, 8, { { "Exif.Image.DateTime", "2008:07:31 10:38:11" } });
    auto result = info({ "--json", digitized, written });
    ASSERT_EQ(result.status, 0) << result.err;
    auto objects = jsonLines(result.out);
    ASSERT_EQ(objects.size(), 2U);
    EXPECT_EQ(objects[0]["stamp"], "February 3, 2011 at 4:05\u202fAM");
    EXPECT_EQ(objects[1]["stamp"], "July 31, 2008 at 10:38\u202fAM");

    const std::string camera = std::string(QUORIX_CORPUS_DIR) + "/jpg/long_description.jpg";
    if (!std::filesystem::exists(camera))
        GTEST_SKIP() << "no sample corpus at " << QUORIX_CORPUS_DIR << "; the camera file's stamp is not checked";
    auto sample = jsonLines(info({ "--json", camera }).out);
    ASSERT_EQ(sample.size(), 1U);
    EXPECT_EQ(sample[0]["stamp"], "July 31, 2008 at 10:50\u202fAM");
}

TEST(InfoText, LinesUpLabelsAndValuesUnderTheTitle)
{
    TempDir dir;
    auto path = writeRichPhoto(dir, "rich.jpg");
    auto result = info({ path });
    ASSERT_EQ(result.status, 0) << result.err;
    auto lines = textLines(result.out);
    ASSERT_GE(lines.size(), 3U);
    EXPECT_EQ(lines[0], "Quorix");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Name                       rich.jpg");

    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("Image Size                 64 x 48"));
    EXPECT_TRUE(has("Location                   -33.866667, -70.500000"));
    EXPECT_TRUE(has("Show Location              \xE2\x80\xBA"));
    EXPECT_TRUE(has("Show Location in Maps app  \xE2\x80\xBA"));
    EXPECT_TRUE(has("Make                       Quorix Test"));
    EXPECT_TRUE(has("F Number                   f/2.2"));
    // One blank line before each of the four groups.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ""), 4);
    // The photo's date stamp and the town it was taken near close the text.
    const std::string& stamp = lines[lines.size() - 2];
    EXPECT_EQ(stamp.rfind("Stamp                      ", 0), 0U) << stamp;
    EXPECT_NE(stamp.find("2014"), std::string::npos) << stamp;
    EXPECT_EQ(lines.back(), "Place                      Santiago, Chile (48.8 km)");
}

TEST(InfoText, WrapsLongValuesWithinEightyColumnsOnCharacterBoundaries)
{
    TempDir dir;
    std::string words;
    for (int i = 0; i < 20; ++i) {
        if (i)
            words += ' ';
        words += "Ünïcödé";
    }
    std::string ideographs;
    for (int i = 0; i < 100; ++i)
        ideographs += "写";
    // Plain ASCII wraps like any other text.
    std::string ascii;
    for (int i = 0; i < 30; ++i)
        ascii += i ? " Maker" : "Maker";
    auto path = fixtures::writeJpeg(dir.path(), "long.jpg", 8, 8,
        { { "Exif.Image.Software", words }, { "Exif.Image.Model", ideographs }, { "Exif.Image.Make", ascii } });
    auto result = info({ path });
    ASSERT_EQ(result.status, 0) << result.err;

    auto lines = textLines(result.out);
    for (const auto& line : lines) {
        SCOPED_TRACE(line);
        int width = columns(line);
        ASSERT_GE(width, 0) << "not UTF-8";
        EXPECT_LE(width, 80);
    }
    // A value's first line follows its label; its other lines start with
    // spaces up to the value column.
    auto valueLines = [&](std::string_view label) {
        std::vector<std::string> values;
        auto first = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(label); });
        if (first == lines.end())
            return values;
        size_t column = first->find_first_not_of(' ', label.size());
        values.push_back(first->substr(column));
        for (auto next = first + 1; next != lines.end() && next->size() > column && next->find_first_not_of(' ') == column; ++next)
            values.push_back(next->substr(column));
        return values;
    };
    auto software = valueLines("Software");
    EXPECT_GT(software.size(), 1U);
    auto make = valueLines("Make");
    ASSERT_GT(make.size(), 1U);
    EXPECT_EQ(make[0].substr(0, 11), "Maker Maker");
    std::string softwareWords;
    for (const auto& part : software)
        softwareWords += (softwareWords.empty() ? "" : " ") + part;
    auto model = valueLines("Model");
    EXPECT_GT(model.size(), 1U);
    std::string modelText;
    for (const auto& part : model)
        modelText += part;

    EXPECT_EQ(softwareWords, words);
    EXPECT_EQ(modelText, ideographs);
}

TEST(InfoText, KeepsControlCharactersFromTheTerminal)
{
    TempDir dir;
    auto path = fixtures::writeJpeg(dir.path(), "Evil\x1B[2J\x07.jpg", 8, 8);
    auto asJson = info({ "--json", path });
    ASSERT_EQ(asJson.status, 0) << asJson.err;
    auto objects = jsonLines(asJson.out);
    ASSERT_EQ(objects.size(), 1U);
    ASSERT_EQ(rowValue(objects[0], 1, "Name"), "Evil\x1B[2J\x07.jpg") << "the test needs the bytes to reach the command";

    auto text = info({ path });
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.find('\x1B'), std::string::npos);
    EXPECT_EQ(text.out.find('\x07'), std::string::npos);
    EXPECT_NE(text.out.find("Evil\xEF\xBF\xBD[2J\xEF\xBF\xBD"), std::string::npos);
}

} // namespace
