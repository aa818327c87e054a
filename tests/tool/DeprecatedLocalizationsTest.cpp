#include "tool/DeprecatedLocalizations.h"

#include "cli/ChildProcess.h"
#include "runtime/AutoreleasePool.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A throwaway root folder; entries are made from relative paths, a trailing
// "/" making a directory.
class TemporaryRoot {
public:
    TemporaryRoot()
    {
        std::string pattern = (fs::temp_directory_path() / "quorix-tool-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TemporaryRoot()
    {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(path_, ignored);
    }
    TemporaryRoot(const TemporaryRoot&) = delete;
    TemporaryRoot& operator=(const TemporaryRoot&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& relative) const { return path_ / relative; }

    void make(const std::string& relative) const
    {
        fs::path target = path_ / relative;
        if (relative.ends_with('/')) {
            fs::create_directories(target);
        } else {
            fs::create_directories(target.parent_path());
            std::ofstream(target) << relative;
        }
    }
    void make(const std::string& directory, const std::vector<std::string>& entries) const
    {
        make(directory + "/");
        for (const auto& entry : entries)
            make(directory + "/" + entry);
    }

private:
    fs::path path_;
};

std::set<std::string> entriesOf(const fs::path& directory)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error))
        names.insert(entry.path().filename().string());
    return names;
}

const std::vector<std::string> kEightNames {
    "German.lproj", "de.lproj", "English.lproj", "en.lproj", "Italian.lproj", "it.lproj", "Japanese.lproj", "ja.lproj",
};

TEST(IsDeprecatedDirectory, CountsOnlyNamesEndingInStrings)
{
    AutoreleasePool pool;
    struct Row {
        const char* name;
        std::vector<std::string> entries;
        bool expected;
    };
    const Row rows[] = {
        { "package strings file alone", { "Quorix.strings" }, true },
        { "with files of other kinds", { "Quorix.strings", "icon.png", "Main.nib", "Info.plist", "images/", "images/a.png" }, true },
        { "with a second strings file", { "Quorix.strings", "Localizable.strings" }, false },
        { "with a name ending in strings without a dot", { "Quorix.strings", "mystrings" }, false },
        { "with a subdirectory named like a strings file", { "Quorix.strings", "More.strings/" }, false },
        { "with another strings file only", { "Localizable.strings" }, false },
        { "empty", {}, false },
        { "package name in other case", { "quorix.strings" }, false },
        { "package name with a suffix after it", { "Quorix.strings.bak" }, false },
        { "suffix in capitals", { "Quorix.STRINGS" }, false },
        { "package file nested one level down", { "sub/", "sub/Quorix.strings" }, false },
    };
    TemporaryRoot root;
    int index = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string directory = "case" + std::to_string(index++) + ".lproj";
        root.make(directory, row.entries);
        EXPECT_EQ(isDeprecatedDirectory((root / directory).string()), row.expected);
    }
}

TEST(IsDeprecatedDirectory, AnswersFalseForWhatIsNotADirectory)
{
    AutoreleasePool pool;
    TemporaryRoot root;
    root.make("file.lproj");
    EXPECT_FALSE(isDeprecatedDirectory((root / "missing.lproj").string()));
    EXPECT_FALSE(isDeprecatedDirectory((root / "file.lproj").string()));
    EXPECT_FALSE(isDeprecatedDirectory(""));
}

TEST(DeleteDeprecatedDirectories, RemovesExactlyTheDeprecatedOnesInBothBundles)
{
    AutoreleasePool pool;
    TemporaryRoot root;
    const std::string camera = "Applications/Camera.app/";
    const std::string photos = "Applications/MobileSlideShow.app/";
    root.make(camera + "German.lproj", { "Quorix.strings", "icon.png", "nib/", "nib/Main.nib" });
    root.make(camera + "de.lproj", { "Quorix.strings", "Localizable.strings" });
    root.make(camera + "English.lproj", { "Localizable.strings" });
    root.make(camera + "en.lproj", {});
    root.make(camera + "Italian.lproj"); // a file carrying a directory's name
    root.make(camera + "it.lproj", { "Quorix.strings" });
    root.make(camera + "ja.lproj", { "Quorix.strings", "InfoPlist.loctable" });
    root.make(camera + "fr.lproj", { "Quorix.strings" }); // not one of the eight names
    root.make(camera + "Camera");
    for (const auto& name : kEightNames)
        root.make(photos + name, { "Quorix.strings", "Default.png" });
    root.make(photos + "French.lproj", { "Quorix.strings" });

    deleteDeprecatedDirectoriesIfNeeded(root.path().string());

    EXPECT_EQ(entriesOf(root / camera),
        (std::set<std::string> { "de.lproj", "English.lproj", "en.lproj", "Italian.lproj", "fr.lproj", "Camera" }));
    EXPECT_EQ(entriesOf(root / (camera + "de.lproj")), (std::set<std::string> { "Quorix.strings", "Localizable.strings" }));
    EXPECT_EQ(entriesOf(root / (camera + "English.lproj")), (std::set<std::string> { "Localizable.strings" }));
    EXPECT_TRUE(fs::is_regular_file(root / (camera + "Italian.lproj")));
    EXPECT_EQ(entriesOf(root / (camera + "fr.lproj")), (std::set<std::string> { "Quorix.strings" }));
    EXPECT_EQ(entriesOf(root / photos), (std::set<std::string> { "French.lproj" }));
}

TEST(DeleteDeprecatedDirectories, CleansEachBundleEvenWhenTheOtherIsMissing)
{
    AutoreleasePool pool;
    const char* bundles[] = { "Applications/Camera.app/", "Applications/MobileSlideShow.app/" };
    for (const char* bundle : bundles) {
        SCOPED_TRACE(bundle);
        TemporaryRoot root;
        root.make(std::string(bundle) + "en.lproj", { "Quorix.strings" });
        root.make(std::string(bundle) + "Base.lproj", { "Quorix.strings" });
        deleteDeprecatedDirectoriesIfNeeded(root.path().string());
        EXPECT_EQ(entriesOf(root / bundle), (std::set<std::string> { "Base.lproj" }));
    }
    TemporaryRoot empty;
    EXPECT_NO_THROW(deleteDeprecatedDirectoriesIfNeeded(empty.path().string()));
}

TEST(DeleteDeprecatedDirectories, NeverFollowsASymbolicLinkIntoWhatItNames)
{
    AutoreleasePool pool;
    TemporaryRoot root;
    const std::string camera = "Applications/Camera.app/";
    // A candidate that is a link to a folder outside the bundle that looks deprecated.
    root.make("elsewhere/lookalike", { "Quorix.strings", "keep.png" });
    root.make(camera);
    fs::create_directory_symlink(root / "elsewhere/lookalike", root / (camera + "de.lproj"));
    // A deprecated directory holding a link to a folder outside.
    root.make("elsewhere/shared", { "keep.txt" });
    root.make(camera + "en.lproj", { "Quorix.strings" });
    fs::create_directory_symlink(root / "elsewhere/shared", root / (camera + "en.lproj/Resources"));

    deleteDeprecatedDirectoriesIfNeeded(root.path().string());

    EXPECT_FALSE(fs::exists(fs::symlink_status(root / (camera + "de.lproj")))); // the link itself goes
    EXPECT_FALSE(fs::exists(root / (camera + "en.lproj")));
    EXPECT_EQ(entriesOf(root / "elsewhere/lookalike"), (std::set<std::string> { "Quorix.strings", "keep.png" }));
    EXPECT_EQ(entriesOf(root / "elsewhere/shared"), (std::set<std::string> { "keep.txt" }));
}

TEST(DeleteDeprecatedDirectories, SkipsWhatCannotBeListedOrRemovedAndGoesOn)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root; the namespace test covers a failed removal";
    AutoreleasePool pool;
    TemporaryRoot root;
    const std::string camera = "Applications/Camera.app/";
    const std::string photos = "Applications/MobileSlideShow.app/";
    root.make(camera + "de.lproj", { "Quorix.strings" });
    root.make(camera + "en.lproj", { "Quorix.strings" });
    root.make(photos + "it.lproj", { "Quorix.strings" });
    // en.lproj cannot be listed, and nothing in the Camera bundle can be removed.
    fs::permissions(root / (camera + "en.lproj"), fs::perms::none);
    fs::permissions(root / camera, fs::perms::owner_read | fs::perms::owner_exec);

    deleteDeprecatedDirectoriesIfNeeded(root.path().string());

    fs::permissions(root / camera, fs::perms::owner_all);
    fs::permissions(root / (camera + "en.lproj"), fs::perms::owner_all);
    EXPECT_EQ(entriesOf(root / camera), (std::set<std::string> { "de.lproj", "en.lproj" }));
    EXPECT_EQ(entriesOf(root / photos), (std::set<std::string> {}));
}

TEST(QuorixToolProgram, PrintsNothingAndExitsZeroWhateverItIsGiven)
{
    // The program always works on the real /Applications; only run it where
    // there is none to change.
    if (fs::exists("/Applications"))
        GTEST_SKIP() << "/Applications exists here; the program is run only in a throwaway namespace";
    const std::string program = QUORIX_BINARY_DIR "/bin/QuorixTool";
    const std::vector<std::vector<std::string>> argumentLists { {}, { "--help" }, { "unexpected", "arguments" } };
    for (const auto& arguments : argumentLists) {
        SCOPED_TRACE(arguments.size());
        auto result = testing_support::runProgram(program, arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
    }
}

} // namespace
