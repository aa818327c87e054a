#include "hooks/Hooks.h"

#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "runtime/Dispatch.h"
#include "util/DeviceIdiom.h"

#include <exception>

namespace quorix::hooks {

namespace {

constexpr float kFirstNewViewerVersion = 7.0f;

} // namespace

bool isVersion7Host()
{
    static dispatch_once_t once;
    static bool version7 = false;
    dispatch_once(&once, [] {
        auto version = objc::send<Ref<NSString>>(QXCurrentDevice(), "systemVersion");
        version7 = version && version->floatValue() >= kFirstNewViewerVersion;
    });
    return version7;
}

int installAll()
{
    AutoreleasePool pool;
    int installed = 0;
    if (isVersion7Host()) {
        if (QXDeviceIsPhone() || QXDeviceIsPad())
            installed += installVersion7ViewerHooks();
    } else if (QXDeviceIsPhone()) {
        installed += installOlderPhoneViewerHooks();
    } else if (QXDeviceIsPad()) {
        installed += installOlderTabletViewerHooks();
    }
    // Photos carry the stamp on every host and device, even where the
    // viewer gets no Info button.
    installed += installStampHooks();
    return installed;
}

} // namespace quorix::hooks

namespace {

// The loader runs this once, when it maps the library into the host, before
// the host reaches any of the replaced methods.
__attribute__((constructor)) void installQuorix()
{
    // Nothing here may stop the host: a host whose classes do not answer as
    // expected is left as it is.
    try {
        quorix::hooks::installAll();
    } catch (const std::exception&) {
    }
}

} // namespace
