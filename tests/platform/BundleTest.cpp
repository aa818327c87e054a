#include "foundation/NSBundle.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"

#include "platform/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using Order = std::vector<std::string>;

// Each test gets its own resources folder and a locale environment with
// nothing set; both are put back afterwards.
class BundleTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(resources_.path().empty());
        for (const char* variable : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" })
            environment_.unset(variable);
        NSBundle::setMainBundleResourcePath(resources_.path());
    }
    void TearDown() override
    {
        NSBundle::setMainBundleResourcePath("");
        NSBundle::mainBundle()->flushLocalizationCache();
    }

    // Changes the environment and makes the bundle read it again.
    void setLocale(const std::string& variable, const std::string& value)
    {
        environment_.set(variable, value);
        bundle()->flushLocalizationCache();
    }

    void writeTable(const std::string& folder, const std::string& table, const std::string& bytes)
    {
        storetest::writeFile(resources_ / (folder + ".lproj/" + table + ".strings"), bytes);
    }

    static NSBundle* bundle() { return NSBundle::mainBundle(); }
    static std::string lookUp(const char* key, const char* value = "") { return bundle()->localizedString(key, value, "Quorix"); }

    storetest::TemporaryDirectory resources_;
    storetest::EnvironmentGuard environment_;
};

TEST_F(BundleTest, SearchOrderGoesFromTheFullLocaleToItsLanguageToTheEnglishFolders)
{
    setLocale("LANG", "de_DE.UTF-8@euro");
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "de_DE", "de", "German", "en", "English", "Base" }));
}

TEST_F(BundleTest, SearchOrderNamesTheLegacyFolderOfEachOldLocalization)
{
    struct Case {
        const char* locale;
        Order order;
    };
    const Case cases[] = {
        { "de", { "de", "German", "en", "English", "Base" } },
        { "en_GB", { "en_GB", "en", "English", "Base" } },
        { "es_MX.UTF-8", { "es_MX", "es", "Spanish", "en", "English", "Base" } },
        { "fr_CA", { "fr_CA", "fr", "French", "en", "English", "Base" } },
        { "it_IT", { "it_IT", "it", "Italian", "en", "English", "Base" } },
        { "ja_JP.eucJP", { "ja_JP", "ja", "Japanese", "en", "English", "Base" } },
        { "ko_KR", { "ko_KR", "ko", "Korean", "en", "English", "Base" } },
        { "nl_BE@euro", { "nl_BE", "nl", "Dutch", "en", "English", "Base" } },
        { "pt_BR", { "pt_BR", "pt", "Portuguese", "en", "English", "Base" } },
        { "sv_SE", { "sv_SE", "sv", "en", "English", "Base" } },
        { "zh_TW", { "zh_TW", "zh-Hant", "zh", "en", "English", "Base" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        setLocale("LANG", c.locale);
        EXPECT_EQ(bundle()->localizationSearchOrder(), c.order);
    }
}

TEST_F(BundleTest, ChineseLocalesFindTheTableOfTheScriptTheirRegionReads)
{
    writeTable("zh-Hans", "Quorix", "\"Flash\" = \"闪光灯\";");
    writeTable("zh-Hant", "Quorix", "\"Flash\" = \"閃光燈\";");
    writeTable("en", "Quorix", "\"Flash\" = \"Flash (en)\";");
    struct Case {
        const char* variable;
        const char* locale;
        const char* flash;
    };
    const Case cases[] = {
        { "LANG", "zh_CN.UTF-8", "闪光灯" },
        { "LANG", "zh_SG.UTF-8", "闪光灯" },
        { "LC_ALL", "zh_CN.GB18030", "闪光灯" },
        { "LANG", "zh_TW.UTF-8", "閃光燈" },
        { "LANG", "zh_HK.UTF-8", "閃光燈" },
        { "LC_MESSAGES", "zh_MO", "閃光燈" },
        { "LANGUAGE", "zh-Hans-CN", "闪光灯" },
        { "LANGUAGE", "zh-Hant-HK", "閃光燈" },
        { "LANGUAGE", "zh_Hant_TW", "閃光燈" },
        { "LANGUAGE", "zh-TW", "閃光燈" },
        { "LANGUAGE", "zh", "闪光灯" },
        { "LANGUAGE", "zh-Hant", "閃光燈" },
        // A script the region does not imply wins: Simplified characters in Hong Kong.
        { "LANGUAGE", "zh-Hans-HK", "闪光灯" },
        // A region whose script is not known here has no Chinese table of its own.
        { "LANG", "zh_XX.UTF-8", "Flash (en)" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.variable) + "=" + c.locale);
        for (const char* variable : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" })
            environment_.unset(variable);
        setLocale(c.variable, c.locale);
        EXPECT_EQ(lookUp("Flash"), c.flash);
    }

    setLocale("LANGUAGE", "zh-Hant-TW");
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "zh-Hant-TW", "zh-Hant", "zh", "en", "English", "Base" }));
    // Other languages written in several scripts follow the same rule.
    setLocale("LANGUAGE", "sr_latn_RS");
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "sr_latn_RS", "sr-Latn", "sr", "en", "English", "Base" }));
}

TEST_F(BundleTest, SearchOrderTakesTheFirstVariableThatIsSet)
{
    environment_.set("LANG", "it_IT.UTF-8");
    environment_.set("LC_MESSAGES", "fr_FR.UTF-8");
    environment_.set("LC_ALL", "es_ES.UTF-8");
    setLocale("LANGUAGE", "pt_BR:de");
    EXPECT_EQ(bundle()->localizationSearchOrder(),
        (Order { "pt_BR", "pt", "Portuguese", "de", "German", "en", "English", "Base" }));

    setLocale("LANGUAGE", "");
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "es_ES", "es", "Spanish", "en", "English", "Base" }));

    environment_.unset("LC_ALL");
    bundle()->flushLocalizationCache();
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "fr_FR", "fr", "French", "en", "English", "Base" }));

    environment_.unset("LC_MESSAGES");
    bundle()->flushLocalizationCache();
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "it_IT", "it", "Italian", "en", "English", "Base" }));
}

TEST_F(BundleTest, SearchOrderSkipsThePortableLocaleAndRepeatsNoFolder)
{
    setLocale("LANGUAGE", "C:POSIX::C.UTF-8:en_US:en:de_AT:de_DE:de");
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "en_US", "en", "English", "de_AT", "de", "German", "de_DE", "Base" }));

    // A C locale is a choice: the variables after it are not consulted.
    environment_.unset("LANGUAGE");
    environment_.set("LANG", "de_DE.UTF-8");
    setLocale("LC_ALL", "C");
    EXPECT_EQ(bundle()->localizationSearchOrder(), (Order { "en", "English", "Base" }));
}

TEST_F(BundleTest, GermanLookupGivesTheEntryThenTheDefaultThenTheKey)
{
    writeTable("de", "Quorix", "\"Flash\" = \"Blitz\";\n\"No Flash\" = \"\";\n");
    writeTable("English", "Quorix", "\"Flash\" = \"Flash (English)\";\n\"Only in English\" = \"English text\";\n");
    setLocale("LANG", "de_DE.UTF-8");

    EXPECT_EQ(lookUp("Flash"), "Blitz");
    EXPECT_EQ(lookUp("Flash", "Default"), "Blitz");
    EXPECT_EQ(lookUp("No Flash", "Default"), "") << "an empty translation is still a translation";
    EXPECT_EQ(lookUp("Missing", "Default"), "Default");
    EXPECT_EQ(lookUp("Missing"), "Missing");
    // The German table is the table; the English one is not merged into it.
    EXPECT_EQ(lookUp("Only in English"), "Only in English");
}

TEST_F(BundleTest, FallsBackToTheLegacyFolderAndThenToEnglish)
{
    writeTable("German", "Quorix", "\"Flash\" = \"Blitz (alt)\";");
    writeTable("en", "Quorix", "\"Flash\" = \"Flash (en)\";");
    setLocale("LANG", "de_CH.UTF-8");
    EXPECT_EQ(lookUp("Flash"), "Blitz (alt)");

    setLocale("LANG", "fi_FI.UTF-8");
    EXPECT_EQ(lookUp("Flash"), "Flash (en)");
}

TEST_F(BundleTest, TheLanguageShownIsThatOfTheFirstLocalizationTheBundleHas)
{
    writeTable("en", "Page", "\"Keys\" = \"Keys\";");
    writeTable("Japanese", "Page", "\"Keys\" = \"キー操作\";");
    writeTable("zh-Hant", "Page", "\"Keys\" = \"按鍵\";");
    writeTable("pt_BR", "Page", "\"Keys\" = \"Teclas\";");
    struct Case {
        const char* variable;
        const char* value;
        const char* tag;
        const char* keys;
    };
    for (const Case& c : std::initializer_list<Case> {
             { "LANG", "ja_JP.UTF-8", "ja", "キー操作" }, // a legacy folder answers with its language
             { "LANG", "zh_HK.UTF-8", "zh-Hant", "按鍵" },
             { "LANG", "pt_BR.UTF-8", "pt-BR", "Teclas" },
             { "LANGUAGE", "fi:zh_TW", "zh-Hant", "按鍵" }, // a language the bundle lacks is passed over
             { "LANG", "fi_FI.UTF-8", "en", "Keys" },
             { "LANG", "C.UTF-8", "en", "Keys" },
         }) {
        SCOPED_TRACE(std::string(c.variable) + "=" + c.value);
        for (const char* variable : { "LANGUAGE", "LANG" })
            environment_.unset(variable);
        setLocale(c.variable, c.value);
        EXPECT_EQ(bundle()->preferredLanguageTag(), c.tag);
        const auto table = bundle()->localizedTable("Page");
        ASSERT_EQ(table.size(), 1u);
        EXPECT_EQ(table.at("Keys"), c.keys);
    }
    NSBundle::setMainBundleResourcePath(resources_.path() + "/none");
    EXPECT_EQ(bundle()->preferredLanguageTag(), "en") << "a bundle without localizations";
    EXPECT_TRUE(bundle()->localizedTable("Page").empty());
}

TEST_F(BundleTest, ABrokenTableCountsAsAbsent)
{
    writeTable("de", "Quorix", "\"Flash\" = \"Blitz\"\n\"Flash\" = \"Blitz\";"); // first entry has no semicolon
    writeTable("Base", "Quorix", "\"Flash\" = \"Flash (Base)\";");
    setLocale("LANG", "de_DE.UTF-8");
    EXPECT_EQ(lookUp("Flash"), "Flash (Base)");

    writeTable("Base", "Quorix", "\"Flash\" = \"\\UDE00\";");
    bundle()->flushLocalizationCache();
    EXPECT_EQ(lookUp("Flash", "Fallback"), "Fallback");
}

TEST_F(BundleTest, LanguageListIsTriedInTurn)
{
    writeTable("fr", "Quorix", "\"Flash\" = \"Flash (fr)\";");
    writeTable("de", "Quorix", "\"Flash\" = \"Blitz\";");
    environment_.set("LANG", "fr_FR.UTF-8");
    setLocale("LANGUAGE", "nl_NL:de:fr");
    EXPECT_EQ(lookUp("Flash"), "Blitz");

    setLocale("LANGUAGE", "fr:de");
    EXPECT_EQ(lookUp("Flash"), "Flash (fr)");
}

TEST_F(BundleTest, ReadsAUtf16Table)
{
    // "Flash" = "Blitz"; "White Balance" = "Weißabgleich"; in UTF-16LE.
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : std::u16string_view(u"\"Flash\" = \"Blitz\";\n\"White Balance\" = \"Wei\u00DF" u"abgleich\";\n")) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    writeTable("de", "Quorix", bytes);
    setLocale("LANG", "de_DE.UTF-8");
    EXPECT_EQ(lookUp("Flash"), "Blitz");
    EXPECT_EQ(lookUp("White Balance"), "Wei\xC3\x9F" "abgleich");
}

TEST_F(BundleTest, TablesAreCachedUntilFlushed)
{
    writeTable("de", "Quorix", "\"Flash\" = \"Blitz\";");
    writeTable("fr", "Quorix", "\"Flash\" = \"Flash (fr)\";");
    setLocale("LANG", "de_DE.UTF-8");
    EXPECT_EQ(lookUp("Flash"), "Blitz");

    writeTable("de", "Quorix", "\"Flash\" = \"Blitzlicht\";");
    environment_.set("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(lookUp("Flash"), "Blitz");
    EXPECT_EQ(bundle()->localizationSearchOrder().front(), "de_DE");

    bundle()->flushLocalizationCache();
    EXPECT_EQ(lookUp("Flash"), "Flash (fr)");
    setLocale("LANG", "de_DE.UTF-8");
    EXPECT_EQ(lookUp("Flash"), "Blitzlicht");
}

TEST_F(BundleTest, AnEmptyOrNilTableNameMeansLocalizable)
{
    AutoreleasePool pool;
    writeTable("en", "Localizable", "\"Done\" = \"Finished\";");
    writeTable("en", "Quorix", "\"Done\" = \"Done (Quorix)\";");
    setLocale("LANG", "en_US.UTF-8");
    EXPECT_EQ(bundle()->localizedString("Done", "", ""), "Finished");
    EXPECT_EQ(bundle()->localizedStringForKey("Done"_ns.get(), nullptr, nullptr)->str(), "Finished");
    EXPECT_EQ(bundle()->localizedStringForKey("Done"_ns.get(), nullptr, "Quorix"_ns.get())->str(), "Done (Quorix)");
    EXPECT_EQ(bundle()->localizedStringForKey("Absent"_ns.get(), "Shown"_ns.get(), "Quorix"_ns.get())->str(), "Shown");
}

TEST_F(BundleTest, AnswersTheLookupMessageThroughTheRuntime)
{
    AutoreleasePool pool;
    writeTable("de", "Quorix", "\"Flash\" = \"Blitz\";");
    setLocale("LANG", "de_DE.UTF-8");
    auto* text = objc::send<NSString*>(bundle(), "localizedStringForKey:value:table:", "Flash"_ns, ""_ns, "Quorix"_ns);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->str(), "Blitz");
    auto* fallback = objc::send<NSString*>(bundle(), "localizedStringForKey:value:table:", "Missing"_ns, static_cast<id>(nullptr),
        static_cast<id>(nullptr));
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback->str(), "Missing");
}

TEST_F(BundleTest, StringObjectsAreMadeOnceAndFollowTheLanguageAfterAFlush)
{
    AutoreleasePool pool;
    writeTable("de", "Quorix", "\"Flash\" = \"Blitz\";");
    writeTable("it", "Quorix", "\"Flash\" = \"Flash (it)\";");
    setLocale("LANG", "de_DE.UTF-8");
    auto first = bundle()->localizedStringObject("Flash", "", "Quorix");
    EXPECT_EQ(first->str(), "Blitz");
    EXPECT_EQ(bundle()->localizedStringObject("Flash", "", "Quorix"), first) << "the same labels for every photo";
    // The parts stay apart: a fallback or a table never answers for another.
    EXPECT_EQ(bundle()->localizedStringObject("Absent", "Shown", "Quorix")->str(), "Shown");
    EXPECT_EQ(bundle()->localizedStringObject("Absent", "", "Quorix")->str(), "Absent");
    EXPECT_EQ(bundle()->localizedStringObject("Flash", "", "Other")->str(), "Flash");
    // A key held in a buffer that changes: each lookup answers for the text it holds now.
    char key[8] = "Flash";
    EXPECT_EQ(bundle()->localizedStringObject(key, "", "Quorix")->str(), "Blitz");
    std::strcpy(key, "Flask");
    EXPECT_EQ(bundle()->localizedStringObject(key, "", "Quorix")->str(), "Flask");
    std::strcpy(key, "Flash");
    EXPECT_EQ(bundle()->localizedStringObject(key, "", "Quorix")->str(), "Blitz");

    setLocale("LANG", "it_IT.UTF-8");
    EXPECT_EQ(bundle()->localizedStringObject("Flash", "", "Quorix")->str(), "Flash (it)");
}

TEST_F(BundleTest, LookupsFromManyThreadsSurviveConcurrentFlushes)
{
    writeTable("de", "Quorix", "\"Flash\" = \"Blitz\";");
    setLocale("LANG", "de_DE.UTF-8");
    std::atomic<int> wrong { 0 };
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&wrong] {
            for (int i = 0; i < 300; ++i) {
                if (NSBundle::mainBundle()->localizedString("Flash", "", "Quorix") != "Blitz")
                    ++wrong;
            }
        });
    }
    for (int i = 0; i < 100; ++i)
        bundle()->flushLocalizationCache();
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(MainBundle, LivesBesideTheExecutableAndIsNamedAfterIt)
{
    AutoreleasePool pool;
    NSBundle::setMainBundleResourcePath("");
    NSBundle::setMainBundleIdentifier("");
    auto expected = std::filesystem::weakly_canonical(QUORIX_BINARY_DIR).string() + "/share/foundation_store_tests";
    EXPECT_EQ(NSBundle::mainBundle()->resourcePath()->str(), expected);
    EXPECT_EQ(NSBundle::mainBundle()->bundleIdentifier()->str(), "foundation_store_tests");
    EXPECT_EQ(NSBundle::mainBundle(), NSBundle::mainBundle());

    NSBundle::setMainBundleResourcePath("/opt/elsewhere");
    NSBundle::setMainBundleIdentifier("org.example.viewer");
    EXPECT_EQ(NSBundle::mainBundle()->resourcePath()->str(), "/opt/elsewhere");
    EXPECT_EQ(objc::send<NSString*>(NSBundle::mainBundle(), "bundleIdentifier")->str(), "org.example.viewer");

    NSBundle::setMainBundleResourcePath("");
    NSBundle::setMainBundleIdentifier("");
    EXPECT_EQ(NSBundle::mainBundle()->bundleIdentifier()->str(), "foundation_store_tests");
}

} // namespace
