#pragma once

// A shared library opened when first needed rather than linked, so that a
// process that never needs it never pays for loading it. It is bound at once
// (RTLD_NOW), so a missing symbol shows when it is opened and not in the
// middle of a call, and its symbols stay its own (RTLD_LOCAL). An opened
// library stays loaded for the rest of the process.

#include <optional>
#include <string>

namespace foundation {

class SharedLibrary {
public:
    // `file` is a path, or a file name the dynamic loader looks up. Nothing
    // when it cannot be loaded, with the loader's reason in `error`.
    static std::optional<SharedLibrary> open(const std::string& file, std::string& error);

    // Sets `function` to the library's function `name`; false, with the
    // reason in `error`, when it has none.
    template<class Function>
    bool resolve(const char* name, Function& function, std::string& error) const
    {
        function = reinterpret_cast<Function>(symbol(name, error));
        return function != nullptr;
    }

    // Unloads a library found unusable.
    void close();

private:
    SharedLibrary(void* handle, std::string file);
    void* symbol(const char* name, std::string& error) const;

    void* handle_;
    std::string file_;
};

// Says on standard error that a library opened when needed cannot be used,
// and what is lost: "PROGRAM: LOSS: REASON", once for the process and the
// copies of it forked after the platform loaded.
void reportUnusableLibrary(const char* loss, const std::string& reason);

// The folder the platform library was loaded from, with a slash at its end,
// where the libraries it opens when needed lie beside it.
std::string platformFolder();

// The function `name` of the library `file` in the platform library's
// folder, which stays loaded. Null when either cannot be found, said once
// with what is lost (`loss`) and why.
template<class Function>
Function libraryBesidePlatform(const char* file, const char* name, const char* loss)
{
    std::string error;
    Function found = nullptr;
    auto library = SharedLibrary::open(platformFolder() + file, error);
    if (library && !library->resolve(name, found, error))
        library->close();
    if (!found)
        reportUnusableLibrary(loss, error);
    return found;
}

} // namespace foundation
