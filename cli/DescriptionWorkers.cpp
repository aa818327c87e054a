#include "cli/DescriptionWorkers.h"

#include "foundation/FileDescriptor.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorix::cli {

namespace {

// A description travels as its length (8 bytes, this machine's order)
// followed by its bytes; a file without one as a length no text has.
constexpr uint64_t kNoDescription = UINT64_MAX;

bool sendFrame(int fd, const DescriptionWorkers::Description& description)
{
    const uint64_t length = description ? description->size() : kNoDescription;
    std::string frame(reinterpret_cast<const char*>(&length), sizeof length);
    if (description)
        frame += *description;
    return foundation::writeFully(fd, frame) == 0;
}

bool readExactly(int fd, char* out, size_t length)
{
    while (length > 0) {
        ssize_t got = ::read(fd, out, length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

std::optional<DescriptionWorkers::Description> receiveFrame(int fd)
{
    uint64_t length = 0;
    if (!readExactly(fd, reinterpret_cast<char*>(&length), sizeof length))
        return std::nullopt;
    if (length == kNoDescription)
        return DescriptionWorkers::Description();
    std::string bytes(length, '\0');
    if (!readExactly(fd, bytes.data(), bytes.size()))
        return std::nullopt;
    return DescriptionWorkers::Description(std::move(bytes));
}

[[noreturn]] void runChild(const std::vector<std::string>& paths, size_t first, size_t step, int fd, const DescriptionWorkers::Describe& describe)
{
    for (size_t index = first; index < paths.size(); index += step) {
        if (!sendFrame(fd, describe(paths[index])))
            ::_exit(1);
    }
    // Without running exit handlers or flushing the parent's buffers.
    ::_exit(0);
}

} // namespace

std::unique_ptr<DescriptionWorkers> DescriptionWorkers::start(const std::vector<std::string>& paths, int count, Describe describe)
{
    const size_t children = std::min(static_cast<size_t>(std::max(count, 0)), paths.size());
    if (children < 2)
        return nullptr;
    std::unique_ptr<DescriptionWorkers> workers(new DescriptionWorkers);
    for (size_t k = 0; k < children; ++k) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            break;
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(ends[0]);
            // The pipes of the children started before are the parent's.
            for (const auto& sibling : workers->children_)
                ::close(sibling.pipe);
            runChild(paths, k, children, ends[1], describe);
        }
        ::close(ends[1]);
        if (pid < 0) {
            ::close(ends[0]);
            break;
        }
        workers->children_.push_back({ pid, ends[0] });
    }
    if (workers->children_.size() != children)
        return nullptr; // the destructor ends those that did start
    return workers;
}

DescriptionWorkers::~DescriptionWorkers()
{
    for (auto& child : children_) {
        if (child.pipe >= 0)
            ::close(child.pipe);
        if (child.pid > 0) {
            ::kill(child.pid, SIGTERM);
            while (::waitpid(child.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
}

std::optional<DescriptionWorkers::Description> DescriptionWorkers::next()
{
    Child& child = children_[nextIndex_++ % children_.size()];
    if (child.pipe < 0)
        return std::nullopt;
    auto description = receiveFrame(child.pipe);
    if (!description) {
        // The child is gone: the caller describes the rest of its share.
        ::close(child.pipe);
        child.pipe = -1;
    }
    return description;
}

} // namespace quorix::cli
