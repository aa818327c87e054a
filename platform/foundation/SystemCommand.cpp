#include "foundation/SystemCommand.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace foundation {

std::optional<std::string> findExecutable(std::string_view name)
{
    if (name.empty())
        return std::nullopt;
    if (name.find('/') != std::string_view::npos)
        return access(std::string(name).c_str(), X_OK) == 0 ? std::optional<std::string>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (true) {
        size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        std::string candidate = (dir.empty() ? "." : dir) + "/" + std::string(name);
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

bool spawnDetached(const std::vector<std::string>& argv, std::optional<std::string_view> stdinText)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    // A socket pair rather than a pipe: writing with MSG_NOSIGNAL cannot
    // raise SIGPIPE in this process when the program exits without reading.
    int input[2] = { -1, -1 };
    if (stdinText && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0)
        return false;

    // Fork twice: the middle process exits at once and is reaped here, so
    // the program runs as an orphan that init reaps, and we never wait on it.
    pid_t middle = fork();
    if (middle < 0) {
        if (stdinText) {
            close(input[0]);
            close(input[1]);
        }
        return false;
    }
    if (middle == 0) {
        if (fork() == 0) {
            if (stdinText)
                dup2(input[0], STDIN_FILENO);
            else if (int devnull = open("/dev/null", O_RDONLY); devnull >= 0)
                dup2(devnull, STDIN_FILENO);
            if (int devnull = open("/dev/null", O_WRONLY); devnull >= 0) {
                dup2(devnull, STDOUT_FILENO);
                dup2(devnull, STDERR_FILENO);
            }
            execvp(args[0], args.data());
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) { }
    if (stdinText) {
        close(input[0]);
        // Short texts fit the socket's buffer, so this does not wait on the reader.
        std::string_view text = *stdinText;
        while (!text.empty()) {
            ssize_t written = send(input[1], text.data(), text.size(), MSG_NOSIGNAL);
            if (written <= 0)
                break;
            text.remove_prefix(static_cast<size_t>(written));
        }
        close(input[1]);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace foundation
