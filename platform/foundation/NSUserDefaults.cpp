#include "foundation/NSUserDefaults.h"

#include "foundation/NSBundle.h"
#include "foundation/NSString.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

QX_DEFINE_CLASS(NSUserDefaults)
{
    b.method("boolForKey:", [](NSUserDefaults* self, const NSString* key) { return key && self->boolForKey(key->str()); });
    b.method("setBool:forKey:", [](NSUserDefaults* self, bool value, const NSString* key) {
        if (key)
            self->setBoolForKey(value, key->str());
    });
    b.method("synchronize", [](NSUserDefaults* self) { return self->synchronize(); });
}

namespace {

using Json = nlohmann::json;

// A file of a few booleans; a larger one is not ours and is treated as
// unreadable rather than read into memory.
constexpr size_t maxDefaultsFileSize = 16 * 1024 * 1024;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : fd_(fd)
    {
    }
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (it can report a
    // delayed write error).
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

struct FileContent {
    enum class State { Missing, Read, TooLarge, Failed };
    State state;
    std::string bytes;
    int error = 0; // why a Failed file could not be read
};

FileContent readFile(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return { errno == ENOENT ? FileContent::State::Missing : FileContent::State::Failed, {}, errno };
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return { FileContent::State::Failed, {}, errno };
    if (!S_ISREG(info.st_mode))
        return { FileContent::State::Failed, {}, S_ISDIR(info.st_mode) ? EISDIR : EINVAL };
    std::string bytes;
    char buffer[16384];
    for (;;) {
        ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return { FileContent::State::Failed, {}, errno };
        if (count == 0)
            break;
        if (bytes.size() + static_cast<size_t>(count) > maxDefaultsFileSize)
            return { FileContent::State::TooLarge, {} };
        bytes.append(buffer, static_cast<size_t>(count));
    }
    return { FileContent::State::Read, std::move(bytes) };
}

std::optional<Json> parseObject(const std::string& bytes)
{
    Json parsed = Json::parse(bytes, nullptr, /* allow_exceptions */ false);
    if (parsed.is_discarded() || !parsed.is_object())
        return std::nullopt;
    return parsed;
}

std::map<std::string, bool, std::less<>> booleansOf(const Json& object)
{
    std::map<std::string, bool, std::less<>> values;
    for (const auto& [key, value] : object.items()) {
        if (value.is_boolean())
            values.emplace(key, value.get<bool>());
    }
    return values;
}

std::string directoryOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p, making every missing level private to the user.
bool makeDirectories(const std::string& directory)
{
    for (size_t end = 1; end <= directory.size(); ++end) {
        if (end != directory.size() && directory[end] != '/')
            continue;
        std::string prefix = directory.substr(0, end);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool lockExclusively(int fd)
{
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0)
            errno = EIO; // a write that takes nothing and names no error
        if (count <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

bool syncDirectory(const std::string& directory)
{
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd && ::fsync(fd.get()) == 0;
}

std::string temporaryPrefix(const std::string& path) { return path + ".tmp-"; }

// Temporary files are only made by a writer holding the lock, so any found
// while we hold it were left by a writer that died mid-save.
void removeAbandonedTemporaries(const std::string& path)
{
    std::string directory = directoryOf(path);
    std::string prefix = temporaryPrefix(path).substr(directory.size() + 1);
    struct CloseDirectory {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, CloseDirectory> dir(::opendir(directory.c_str()));
    if (!dir)
        return;
    std::vector<std::string> abandoned;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view name(entry->d_name);
        if (name.starts_with(prefix) && name.size() == prefix.size() + 6)
            abandoned.emplace_back(directory + "/" + std::string(name));
    }
    for (const auto& file : abandoned)
        ::unlink(file.c_str());
}

// Moves an unreadable file out of the way under a name that says when and
// by whom; an existing file of that name is never replaced. Sets errno when
// it fails.
bool setAside(const std::string& path)
{
    std::time_t now = std::time(nullptr);
    std::tm utc {};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    std::string base = path + ".unreadable-" + stamp + "-" + std::to_string(::getpid());
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        std::string target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return false;
        // A file system without no-replace renames; we hold the lock, so
        // checking first is safe against our own kind.
        if (::access(target.c_str(), F_OK) == 0)
            continue;
        return ::rename(path.c_str(), target.c_str()) == 0;
    }
    errno = EEXIST;
    return false;
}

// Replaces the file so that a reader, or a crash at any point, sees either
// the old content or the new one whole. Sets errno when it fails.
bool replaceFile(const std::string& path, std::string_view bytes)
{
    std::string temporary = temporaryPrefix(path) + "XXXXXX";
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd)
        return false;
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || !fd.close()
        || ::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return syncDirectory(directoryOf(path));
}

// The read-modify-write cycle of a save, under the lock file so that two
// processes saving at once do not lose each other's keys. Returns the
// content written, or nothing with `error` set to why.
std::optional<Json> save(const std::string& path, const std::map<std::string, bool, std::less<>>& pending, int& error)
{
    if (!makeDirectories(directoryOf(path))) {
        error = errno;
        return std::nullopt;
    }
    FileDescriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock || !lockExclusively(lock.get())) {
        error = errno;
        return std::nullopt;
    }
    removeAbandonedTemporaries(path);

    Json merged = Json::object();
    auto current = readFile(path);
    switch (current.state) {
    case FileContent::State::Missing:
        break;
    case FileContent::State::Failed:
        // Cannot tell what is there (a directory, no permission): leave it be.
        error = current.error;
        return std::nullopt;
    case FileContent::State::Read:
        if (auto object = parseObject(current.bytes)) {
            merged = std::move(*object);
            break;
        }
        [[fallthrough]];
    case FileContent::State::TooLarge:
        if (!setAside(path)) {
            error = errno;
            return std::nullopt;
        }
        break;
    }
    for (const auto& [key, value] : pending)
        merged[key] = value;

    // Keys come from callers and need not be valid UTF-8; replacing bad
    // sequences keeps the dump from throwing.
    std::string text = merged.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    if (!replaceFile(path, text)) {
        error = errno;
        return std::nullopt;
    }
    return merged;
}

std::string configurationHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config";
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir
        && found->pw_dir[0] == '/')
        return std::string(found->pw_dir) + "/.config";
    return {};
}

// The identifier names one directory: it must not climb out of or split
// into others.
std::string directoryName(std::string identifier)
{
    for (char& c : identifier) {
        if (c == '/')
            c = '_';
    }
    if (identifier.empty() || identifier == "." || identifier == "..")
        return "_" + identifier;
    return identifier;
}

struct StandardDefaults {
    std::mutex lock;
    NSUserDefaults* current = nullptr;
    // Instances replaced by a reset stay alive: callers may still hold the
    // borrowed pointer that standardUserDefaults gave them.
    std::vector<NSUserDefaults*> retired;
};

StandardDefaults& standardDefaults()
{
    static auto* instance = new StandardDefaults;
    return *instance;
}

} // namespace

NSUserDefaults::NSUserDefaults(std::string path)
    : path_(std::move(path))
{
    try {
        if (path_.empty())
            return;
        auto content = readFile(path_);
        if (content.state != FileContent::State::Read)
            return;
        if (auto object = parseObject(content.bytes))
            values_ = booleansOf(*object);
    } catch (...) {
        // An unreadable file reads as empty.
        values_.clear();
    }
}

NSUserDefaults* NSUserDefaults::standardUserDefaults()
{
    auto& shared = standardDefaults();
    std::lock_guard guard(shared.lock);
    if (!shared.current) {
        std::string home = configurationHome();
        std::string path;
        if (!home.empty())
            path = home + "/" + directoryName(NSBundle::mainBundle()->bundleIdentifier()->str()) + "/defaults.json";
        shared.current = make_object<NSUserDefaults>(std::move(path)).leak();
    }
    return shared.current;
}

void NSUserDefaults::resetStandardUserDefaults()
{
    auto& shared = standardDefaults();
    std::lock_guard guard(shared.lock);
    if (shared.current)
        shared.retired.push_back(std::exchange(shared.current, nullptr));
}

bool NSUserDefaults::boolForKey(std::string_view key) const
{
    std::lock_guard guard(lock_);
    auto found = values_.find(key);
    return found != values_.end() && found->second;
}

void NSUserDefaults::setBoolForKey(bool value, std::string_view key)
{
    std::lock_guard guard(lock_);
    values_.insert_or_assign(std::string(key), value);
    pending_.insert_or_assign(std::string(key), value);
}

bool NSUserDefaults::synchronize()
{
    std::lock_guard guard(lock_);
    lastSaveError_ = 0;
    if (path_.empty()) {
        // No home directory to keep the file in.
        lastSaveError_ = ENOENT;
        return false;
    }
    try {
        if (pending_.empty()) {
            // Nothing to write: pick up what other processes saved.
            auto content = readFile(path_);
            auto object = content.state == FileContent::State::Read ? parseObject(content.bytes) : std::nullopt;
            values_ = object ? booleansOf(*object) : decltype(values_) {};
            return true;
        }
        int error = 0;
        auto written = save(path_, pending_, error);
        if (!written) {
            lastSaveError_ = error != 0 ? error : EIO;
            return false;
        }
        values_ = booleansOf(*written);
        pending_.clear();
        return true;
    } catch (const std::bad_alloc&) {
        lastSaveError_ = ENOMEM;
        return false;
    } catch (...) {
        lastSaveError_ = EIO;
        return false;
    }
}

int NSUserDefaults::lastSaveError() const
{
    std::lock_guard guard(lock_);
    return lastSaveError_;
}
