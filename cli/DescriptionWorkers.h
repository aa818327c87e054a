#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quorix::cli {

// Describes files in child processes, one per core, and hands the
// descriptions back in the order of the files, so the output is the same
// as when one process describes them one by one. Each child is a copy of
// the command with its libraries loaded; child K describes the files whose
// index modulo the number of children is K, and sends each description whole
// through its own pipe.
class DescriptionWorkers {
public:
    // What one file gives: the text to print, or nothing when it is not a
    // file the command describes.
    using Description = std::optional<std::string>;
    using Describe = std::function<Description(const std::string& path)>;

    // Nothing when fewer than two children are asked for or none can be
    // started; the caller then describes the files itself.
    static std::unique_ptr<DescriptionWorkers> start(const std::vector<std::string>& paths, int count, Describe describe);
    // Ends and reaps the children that are still running.
    ~DescriptionWorkers();
    DescriptionWorkers(const DescriptionWorkers&) = delete;
    DescriptionWorkers& operator=(const DescriptionWorkers&) = delete;

    // The description of the next file, in order. Nothing when its child
    // ended without sending it (the caller describes that file itself).
    std::optional<Description> next();

private:
    struct Child {
        pid_t pid = -1;
        int pipe = -1;
    };
    DescriptionWorkers() = default;

    std::vector<Child> children_;
    size_t nextIndex_ = 0;
};

} // namespace quorix::cli
