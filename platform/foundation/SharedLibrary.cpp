#include "foundation/SharedLibrary.h"

#include <dlfcn.h>
#include <errno.h>

#include <cstdio>

namespace foundation {

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

void reportUnusableLibrary(const char* loss, const std::string& reason)
{
    std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, loss, reason.c_str());
}

} // namespace foundation
