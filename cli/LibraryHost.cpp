#include "cli/LibraryHost.h"

#include "loader/DynamicLibraryLoader.h"
#include "foundation/NSString.h"

#include <ostream>

namespace quorix::cli {

void loadLibraries(std::ostream& err)
{
    loader::loadLibraries(loader::libraryFolder(std::nullopt),
        [&err](const loader::LoadFailure& failure) { loader::reportFailure(failure, "quorix", err); });
}

Class libraryClass(const char* name, std::ostream& err)
{
    Class cls = NSClassFromString(NSString::stringWithUTF8String(name).get());
    if (!cls)
        err << "quorix: the Quorix library is not loaded: no Quorix.so in " << loader::libraryFolder(std::nullopt).string() << '\n';
    return cls;
}

} // namespace quorix::cli
