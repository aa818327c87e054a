#include "foundation/SharedLibrary.h"

#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string_view>

namespace foundation {

namespace {

// What has been said of unusable libraries, kept in memory shared with every
// copy of the process forked after the platform loaded (`quorix info -j`
// describes files in such copies), so that each is said once for the whole
// command: a slot holds the hash of a text said, zero when free. Mapped when
// the platform loads, as a copy must inherit it; without it each process
// says it once.
constexpr size_t kSaidSlots = 64;

std::atomic<uint64_t>* mapSaidSlots()
{
    void* page = mmap(nullptr, kSaidSlots * sizeof(std::atomic<uint64_t>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED)
        return nullptr;
    auto* slots = static_cast<std::atomic<uint64_t>*>(page);
    for (size_t slot = 0; slot < kSaidSlots; ++slot)
        new (&slots[slot]) std::atomic<uint64_t>(0);
    return slots;
}

std::atomic<uint64_t>* const saidSlots = mapSaidSlots();

uint64_t textHash(std::string_view text)
{
    uint64_t hash = 1469598103934665603ULL; // FNV-1a
    for (char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return hash | 1; // never zero, the free slot's mark
}

// True for the first process of the command to claim `text`.
bool claimFirstSaying(std::string_view text)
{
    if (!saidSlots)
        return true;
    const uint64_t hash = textHash(text);
    for (size_t slot = 0; slot < kSaidSlots; ++slot) {
        uint64_t held = 0;
        if (saidSlots[slot].compare_exchange_strong(held, hash))
            return true;
        if (held == hash)
            return false;
    }
    return true; // every slot taken: say it rather than lose it
}

} // namespace

SharedLibrary::SharedLibrary(void* handle, std::string file)
    : handle_(handle)
    , file_(std::move(file))
{
}

std::optional<SharedLibrary> SharedLibrary::open(const std::string& file, std::string& error)
{
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : file + ": cannot be loaded";
        return std::nullopt;
    }
    return SharedLibrary(handle, file);
}

void* SharedLibrary::symbol(const char* name, std::string& error) const
{
    void* found = dlsym(handle_, name);
    if (!found)
        error = file_ + ": no function " + name;
    return found;
}

void SharedLibrary::close()
{
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

std::string platformFolder()
{
    // The loaded object that holds one of the platform library's own
    // variables. (dladdr would name it too, but searches the library's
    // symbols for the nearest one on the way: 0.15 M instructions.)
    static char anchor = 0;
    dl_find_object found {};
    if (_dl_find_object(&anchor, &found) != 0 || !found.dlfo_link_map || !found.dlfo_link_map->l_name)
        return {};
    std::string_view file = found.dlfo_link_map->l_name;
    return std::string(file.substr(0, file.rfind('/') + 1));
}

void reportUnusableLibrary(const char* loss, const std::string& reason)
{
    if (!claimFirstSaying(loss))
        return;
    std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, loss, reason.c_str());
}

} // namespace foundation
