// QuorixTool: removes the localization directories that earlier versions of
// the package left in the Camera and Photos application bundles. It takes no
// arguments, prints nothing and always exits with status 0.

#include "tool/DeprecatedLocalizations.h"

#include "runtime/AutoreleasePool.h"

int main()
{
    try {
        AutoreleasePool pool;
        deleteDeprecatedDirectoriesIfNeeded();
    } catch (...) {
        // Nothing is reported: the program's only promise is its effect.
    }
    return 0;
}
