#include "cli/PathWalk.h"

#include "cli/PathCheck.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace quorix::cli {

namespace {

using FolderId = std::pair<dev_t, ino_t>;

class Walker {
public:
    explicit Walker(std::vector<WalkItem>& items)
        : items_(items)
    {
    }

    void walkFolder(const std::string& path, const struct stat& status)
    {
        const FolderId id { status.st_dev, status.st_ino };
        if (std::find(ancestors_.begin(), ancestors_.end(), id) != ancestors_.end()) {
            items_.push_back({ path, ELOOP });
            return;
        }
        if (!walked_.insert(id).second)
            return;
        auto names = namesIn(path);
        if (!names)
            return;
        ancestors_.push_back(id);
        for (const auto& name : *names) {
            std::string child = path.back() == '/' ? path + name : path + "/" + name;
            struct stat entry { };
            if (::stat(child.c_str(), &entry) != 0) {
                items_.push_back({ child, errno });
            } else if (S_ISDIR(entry.st_mode)) {
                walkFolder(child, entry);
            } else if (S_ISREG(entry.st_mode)) {
                items_.push_back({ child, pathError(child), true });
            }
            // FIFOs, sockets and devices in a folder are not photos.
        }
        ancestors_.pop_back();
    }

private:
    // The folder's entry names in byte order; nothing (and the reason
    // reported) when it cannot be listed.
    std::optional<std::vector<std::string>> namesIn(const std::string& path)
    {
        DIR* folder = ::opendir(path.c_str());
        if (!folder) {
            items_.push_back({ path, errno });
            return std::nullopt;
        }
        std::vector<std::string> names;
        errno = 0;
        while (const dirent* entry = ::readdir(folder)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(std::move(name));
            errno = 0;
        }
        const int error = errno;
        ::closedir(folder);
        if (error != 0) {
            items_.push_back({ path, error });
            return std::nullopt;
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<WalkItem>& items_;
    std::vector<FolderId> ancestors_;
    std::set<FolderId> walked_;
};

} // namespace

std::vector<WalkItem> walkPaths(const std::vector<std::string>& arguments, FolderHandling folders)
{
    std::vector<WalkItem> items;
    Walker walker(items);
    for (const auto& path : arguments) {
        struct stat status { };
        if (folders == FolderHandling::Walk && !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            walker.walkFolder(path, status);
        else
            items.push_back({ path, pathError(path) });
    }
    return items;
}

} // namespace quorix::cli
