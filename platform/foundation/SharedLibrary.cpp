#include "foundation/SharedLibrary.h"

#include "foundation/ForkSharedClaims.h"

#include <dlfcn.h>
#include <errno.h>
#include <link.h>

#include <cstdio>
#include <string_view>

namespace foundation {

namespace {

// What has been said of unusable libraries, so that each is said once for
// the whole command. Made when the platform loads, as a forked copy must
// inherit it; never destroyed, as a library may fail while the process exits.
ForkSharedClaims& saidLosses()
{
    static auto* said = new ForkSharedClaims;
    return *said;
}
[[maybe_unused]] ForkSharedClaims& madeAtLoad = saidLosses();

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
    if (!saidLosses().claim(loss))
        return;
    std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, loss, reason.c_str());
}

} // namespace foundation
