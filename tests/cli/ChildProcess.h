#pragma once

// Runs a program as a child process and collects what it printed, for tests
// that check a command the way a person or a script sees it.

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

struct ChildResult {
    int status = -1; // the exit status, or 128 + signal number
    std::string out;
    std::string err;
};

inline std::string readAll(FILE* file)
{
    std::string text;
    std::rewind(file);
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    return text;
}

// How the child is started beyond its arguments and environment.
struct ChildSetup {
    // A file opened for writing as the child's standard output instead of
    // the capture (its `out` then stays empty), such as /dev/full.
    std::string standardOutput;
    // When not negative, the child drops to this user and group id before it
    // runs the program (the parent must be the superuser).
    int userId = -1;
    // When not empty, the folder the child runs in.
    std::string workingDirectory;
};

// A user whom file permissions bind, for a child that must meet a refusal:
// "nobody" when the tests run as the superuser, else the tests' own user (-1).
inline int unprivilegedUser() { return geteuid() == 0 ? 65534 : -1; }

// As runProgram, with the file `input` as the child's standard input.
inline ChildResult runProgramWithInput(const std::string& input, const std::string& program,
    const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = {},
    const ChildSetup& setup = {})
{
    std::vector<std::string> argStrings { program };
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envStrings;
    for (char** entry = environ; *entry; ++entry) {
        std::string variable(*entry);
        if (!environment.contains(variable.substr(0, variable.find('='))))
            envStrings.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are made.
    std::vector<char*> argv;
    for (auto& text : argStrings)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& text : envStrings)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    ChildResult result;
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    if (!out || !err) {
        result.err = "cannot create capture files";
        return result;
    }
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int standardInput = open(input.c_str(), O_RDONLY);
        if (standardInput < 0)
            _exit(126);
        dup2(standardInput, 0);
        int standardOutput = setup.standardOutput.empty() ? fileno(out) : open(setup.standardOutput.c_str(), O_WRONLY);
        if (standardOutput < 0)
            _exit(126);
        dup2(standardOutput, 1);
        dup2(fileno(err), 2);
        if (!setup.workingDirectory.empty() && chdir(setup.workingDirectory.c_str()) != 0)
            _exit(126);
        if (setup.userId >= 0) {
            auto id = static_cast<uid_t>(setup.userId);
            if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0)
                _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child)
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    result.out = readAll(out);
    result.err = readAll(err);
    std::fclose(out);
    std::fclose(err);
    return result;
}

// `environment` entries replace or add variables of this process's
// environment; the child's standard input is /dev/null.
inline ChildResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
    const std::map<std::string, std::string>& environment = {}, const ChildSetup& setup = {})
{
    return runProgramWithInput("/dev/null", program, arguments, environment, setup);
}

} // namespace testing_support
