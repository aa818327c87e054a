#include "foundation/NSArray.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UIDevice.h"
#include "util/NSString+ZELExtension.h"
#include "util/UIDevice+ZELExtension.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string text(const NSObject* object) { return object ? object->descriptionText() : "(nil)"; }

std::vector<std::string> texts(const NSArray* list)
{
    std::vector<std::string> result;
    if (!list)
        return { "(nil list)" };
    for (const auto& item : *list)
        result.push_back(text(item));
    return result;
}

template<class T>
std::vector<std::string> texts(const Ref<T>& list)
{
    return texts(list.get());
}

struct TextRow {
    std::string_view input;
    const char* expected;
};

// Checks each row through the helper function and through its message.
void expectEachWay(Ref<NSString> (*helper)(const NSString*), const char* selector, std::initializer_list<TextRow> rows)
{
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.input)));
        auto input = NSString::stringWithUTF8String(row.input);
        EXPECT_EQ(text(helper(input).get()), row.expected);
        EXPECT_EQ(text(objc::send<id>(input, selector)), row.expected);
    }
}

TEST(Md5HexDigest, IsTheLowerCaseDigestOfTheUtf8Bytes)
{
    AutoreleasePool pool;
    expectEachWay(md5HexDigest, "md5HexDigest", {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6" },
        { "\xC3\xA9", "66ddcd97cfdeabb2f6fb8a999b4bc76f" }, // é
        { "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "00110af8b4393ef3f72c50be5b332bec" }, // 日本語
        { std::string_view("abc\0def", 7), "900150983cd24fb0d6963f7d28e17f72" }, // hashed up to the NUL
    });
}

TEST(TrimmedString, RemovesUnicodeWhiteSpaceAndLineBreaksFromBothEndsOnly)
{
    AutoreleasePool pool;
    expectEachWay(trimmedString, "trimmedString", {
        { "", "" },
        { "plain", "plain" },
        { "  padded  ", "padded" },
        { " \t\n\r\v\f ", "" },
        { "\t inner  blanks\tstay \n", "inner  blanks\tstay" },
        { "\xC2\xA0no-break space\xC2\xA0", "no-break space" }, // U+00A0
        { "\xE3\x80\x80ideographic\xE3\x80\x80", "ideographic" }, // U+3000
        { "\xE2\x80\xA8lines\xE2\x80\xA9", "lines" }, // U+2028, U+2029
        { "\xC2\x85next line\xC2\x85", "next line" }, // U+0085
        { "\xE1\x9A\x80ogham\xE2\x80\xAF", "ogham" }, // U+1680, U+202F
        { "\xE2\x80\x8Bzero width\xE2\x80\x8B", "\xE2\x80\x8Bzero width\xE2\x80\x8B" }, // U+200B is not white space
        { " \xFF broken ", "\xFF broken" }, // a malformed byte is kept as it stands
    });
}

TEST(ComponentsSeparatedByString, KeepEmptyPiecesAndDifferOnlyForOverlappingSeparators)
{
    AutoreleasePool pool;
    struct Row {
        const char* input;
        const char* separator;
        std::vector<std::string> forward;
        std::vector<std::string> backward;
    };
    const Row rows[] = {
        { "a,b,c", ",", { "a", "b", "c" }, { "a", "b", "c" } },
        { "aaa", "aa", { "", "a" }, { "a", "" } },
        { "aaaa", "aaa", { "", "a" }, { "a", "" } },
        { "ababa", "aba", { "", "ba" }, { "ab", "" } },
        { "no separator", ",", { "no separator" }, { "no separator" } },
        { "whole", "", { "whole" }, { "whole" } },
        { "a,,b", ",", { "a", "", "b" }, { "a", "", "b" } },
        { ",a", ",", { "", "a" }, { "", "a" } },
        { "a,", ",", { "a", "" }, { "a", "" } },
        { ",", ",", { "", "" }, { "", "" } },
        { "", ",", { "" }, { "" } },
        { "x::y::z", "::", { "x", "y", "z" }, { "x", "y", "z" } },
        { "\xCE\xB1\xE2\x86\x92\xCE\xB2", "\xE2\x86\x92", { "\xCE\xB1", "\xCE\xB2" }, { "\xCE\xB1", "\xCE\xB2" } }, // α→β
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.input) + " split by " + row.separator);
        auto input = NSString::stringWithUTF8String(row.input);
        auto separator = NSString::stringWithUTF8String(row.separator);
        EXPECT_EQ(texts(componentsSeparatedByStringReversed(input, separator, false).get()), row.forward);
        EXPECT_EQ(texts(componentsSeparatedByStringReversed(input, separator, true).get()), row.backward);
        EXPECT_EQ(texts(objc::send<NSArray*>(input, "componentsSeparatedByString:reversed:", separator, true)), row.backward);
        EXPECT_EQ(texts(objc::send<NSArray*>(input, "componentsSeparatedByString:reversed:", separator, false)), row.forward);
    }
}

TEST(ComponentsSeparatedByString, TreatsANilSeparatorAsOneThatNeverOccurs)
{
    AutoreleasePool pool;
    EXPECT_EQ(texts(componentsSeparatedByStringReversed("a,b"_ns.get(), nullptr, true)), std::vector<std::string> { "a,b" });
    EXPECT_EQ(texts(componentsSeparatedByStringReversed("a,b"_ns.get(), nullptr, false)), std::vector<std::string> { "a,b" });
}

// What the system's own `uname -m` prints, without the line break.
std::string machineFromUnameCommand()
{
    std::string output;
    if (FILE* pipe = popen("uname -m", "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

TEST(DetailModel, IsTheKernelsMachineNameOnEveryCall)
{
    AutoreleasePool pool;
    std::string expected = machineFromUnameCommand();
    if (expected.empty())
        GTEST_SKIP() << "no uname command to compare with";
    auto* device = UIDevice::currentDevice();
    EXPECT_EQ(text(detailModel(device).get()), expected);
    EXPECT_EQ(text(objc::send<id>(device, "detailModel")), expected);
    EXPECT_EQ(text(objc::send<id>(device, "detailModel")), expected);
}

} // namespace
