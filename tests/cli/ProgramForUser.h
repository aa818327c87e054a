#pragma once

// The built program laid out where another user may run it, for tests that
// drop to an unprivileged user to meet a permission refusal. The build tree
// may sit in a folder only its owner can enter (a checkout in root's home),
// so the program, its libraries and its strings tables are linked or copied
// into a fresh temporary folder that everyone may enter, keeping the build
// tree's layout, and the copied libraries are found first through
// LD_LIBRARY_PATH (the build's run path points back into the private tree).

#include "cli/ChildProcess.h"
#include "support/ImageFixtures.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

// Empty when `userId` may enter every folder on the way to each path and
// run or read it; otherwise "PATH: REASON" for the first it cannot. The
// question is asked by a child that has become that user, so the answer is
// the kernel's own.
inline std::string unreachableBy(int userId, const std::vector<std::string>& paths)
{
    if (userId < 0)
        return {};
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "cannot ask as user " + std::to_string(userId) + ": " + std::strerror(errno);
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        auto id = static_cast<uid_t>(userId);
        int answer[2] = { -1, 0 };
        if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) {
            answer[1] = errno;
        } else {
            for (size_t i = 0; i < paths.size(); ++i) {
                if (access(paths[i].c_str(), R_OK) != 0) {
                    answer[0] = static_cast<int>(i);
                    answer[1] = errno;
                    break;
                }
            }
        }
        (void)!write(pipeEnds[1], answer, sizeof answer);
        _exit(0);
    }
    close(pipeEnds[1]);
    int answer[2] = { -1, 0 };
    const bool heard = child > 0 && read(pipeEnds[0], answer, sizeof answer) == static_cast<ssize_t>(sizeof answer);
    close(pipeEnds[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    if (!heard)
        return "cannot ask as user " + std::to_string(userId) + ": no answer";
    if (answer[1] == 0)
        return {};
    if (answer[0] < 0)
        return "cannot become user " + std::to_string(userId) + ": " + std::strerror(answer[1]);
    return paths[static_cast<size_t>(answer[0])] + ": " + std::strerror(answer[1]);
}

class ProgramForUser {
public:
    // `buildDir` is the build tree and `program` the program's name in its
    // bin/; the program loads lib/ and reads share/`program`/.
    ProgramForUser(const std::string& buildDir, const std::string& program, int userId)
        : userId_(userId)
    {
        namespace fs = std::filesystem;
        program_ = buildDir + "/bin/" + program;
        if (userId < 0)
            return; // the tests' own user runs the program where it is
        try {
            scratch_.emplace();
        } catch (const std::runtime_error& failure) {
            skipReason_ = std::string(failure.what()) + " in " + fs::temp_directory_path().string();
            return;
        }
        const std::string& folder = scratch_->path();
        std::error_code error;
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec, error);
        const std::vector<std::string> parts { "bin/" + program, "lib", "share/" + program };
        for (const auto& part : parts) {
            if (!place(fs::path(buildDir) / part, fs::path(folder) / part, error)) {
                skipReason_ = "cannot copy " + buildDir + "/" + part + " to " + folder + ": " + error.message();
                return;
            }
        }
        program_ = folder + "/bin/" + program;
        environment_["LD_LIBRARY_PATH"] = folder + "/lib";
    }
    ProgramForUser(const ProgramForUser&) = delete;
    ProgramForUser& operator=(const ProgramForUser&) = delete;

    // Why the user cannot run the program on `paths` (the files and folders
    // the test hands it); empty when the test can go ahead.
    std::string whyNot(const std::vector<std::string>& paths) const
    {
        if (!skipReason_.empty())
            return skipReason_;
        std::vector<std::string> all { program_ };
        all.insert(all.end(), paths.begin(), paths.end());
        const std::string unreachable = unreachableBy(userId_, all);
        return unreachable.empty() ? std::string() : "user " + std::to_string(userId_) + " cannot reach " + unreachable;
    }

    // Runs the program as the user; `environment` as for runProgram.
    ChildResult run(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment) const
    {
        environment.insert(environment_.begin(), environment_.end());
        return runProgram(program_, arguments, environment, { .standardOutput = {}, .userId = userId_, .workingDirectory = {} });
    }

private:
    // Hard links where the file system allows them (the build's files are
    // large), copies elsewhere.
    static bool place(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error)
    {
        namespace fs = std::filesystem;
        fs::create_directories(to.parent_path(), error);
        if (error)
            return false;
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::create_hard_links, error);
        if (!error)
            return true;
        fs::remove_all(to, error);
        fs::copy(from, to, fs::copy_options::recursive, error);
        return !error;
    }

    int userId_;
    std::optional<fixtures::TempDir> scratch_; // the copy, removed with it
    std::string program_;
    std::string skipReason_;
    std::map<std::string, std::string> environment_;
};

} // namespace testing_support
