#include "viewer/HostDevice.h"

#include "photolibrary/DeviceKind.h"
#include "photolibrary/PLManagedAsset.h"

#include "foundation/NSString.h"
#include "uikit/UIDevice.h"

#include <dlfcn.h>
#include <filesystem>

namespace viewer {

void simulateDevice(const DeviceSettings& settings)
{
    UIDevice* device = UIDevice::currentDevice();
    if (!settings.systemVersion.empty())
        device->setSystemVersion(settings.systemVersion);
    if (settings.idiom)
        device->setUserInterfaceIdiom(*settings.idiom);
    device->setAnswersUserInterfaceIdiom(settings.answersIdiom);
}

Generation hostGeneration()
{
    auto version = objc::send<NSString*>(UIDevice::currentDevice(), "systemVersion");
    return version && version->floatValue() >= 7.0f ? Generation::Seven : Generation::Older;
}

std::optional<std::string> loadPhotosUI()
{
    // The frameworks are installed together; PhotoLibrary is already loaded,
    // so its file says where they are.
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void*>(&PLManagedAsset::objcClass), &info) || !info.dli_fname)
        return "cannot find where PhotoLibrary was loaded from";
    auto path = std::filesystem::path(info.dli_fname).parent_path() / "libPhotosUI.so";
    if (dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL))
        return std::nullopt;
    const char* why = dlerror();
    return why ? std::string(why) : path.string() + ": unknown error";
}

const char* viewerClassName(Generation generation)
{
    if (generation == Generation::Seven)
        return "PUPhotoBrowserController";
    return photolibrary::deviceIsTablet() ? "WPhotoViewController" : "PLPhotoScrollerViewController";
}

} // namespace viewer
