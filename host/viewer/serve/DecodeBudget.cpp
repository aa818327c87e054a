#include "viewer/serve/DecodeBudget.h"

#include "viewer/serve/ServerLimits.h"

#include <vips/vips.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace viewer {

namespace {

struct Ledger {
    std::mutex lock;
    std::condition_variable freed;
    size_t used = 0;
};

Ledger& ledger()
{
    static Ledger shared;
    return shared;
}

struct ObjectUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};

bool headerFlag(VipsImage* header, const char* name)
{
    int value = 0;
    return vips_image_get_typeof(header, name) && vips_image_get_int(header, name, &value) == 0 && value;
}

} // namespace

std::optional<DecodeBudget::Need> DecodeBudget::needOf(const std::string& path)
{
    std::unique_ptr<VipsImage, ObjectUnref> header(vips_image_new_from_file(path.c_str(), nullptr));
    if (!header)
        return std::nullopt;
    VipsImage* image = header.get();
    const double width = vips_image_get_width(image);
    const double height = vips_image_get_height(image);
    const double pixelBytes = double(vips_image_get_bands(image)) * double(vips_format_sizeof(vips_image_get_format(image)));
    const char* loader = nullptr;
    if (vips_image_get_typeof(image, VIPS_META_LOADER))
        vips_image_get_string(image, VIPS_META_LOADER, &loader);
    const std::string kind = loader ? loader : "";
    double bytes = 0;
    if (kind.starts_with("jpegload") && headerFlag(image, "interlaced")) {
        // A progressive JPEG keeps every coefficient of the whole image
        // (two bytes each) until its last scan, whatever it is shrunk to.
        bytes = width * height * double(vips_image_get_bands(image)) * 2;
    } else if (headerFlag(image, "interlaced") || kind.starts_with("heifload")) {
        // An interlaced PNG, and a HEIC, are decoded whole before a row is
        // out, and shrinking it takes half as much again (measured: four
        // interlaced 16-bit PNGs of 288 MB each peaked at 1.4 times that).
        bytes = width * height * pixelBytes * 3 / 2;
    } else {
        // The others stream: a band of rows at a time.
        bytes = width * pixelBytes * limits::streamedDecodeRows;
    }
    return Need { size_t(std::min(bytes, double(SIZE_MAX / 2))), int(width), int(height) };
}

DecodeBudget::Share::Share(size_t bytes)
    : bytes_(bytes)
{
}

DecodeBudget::Share::Share(Share&& other) noexcept
    : bytes_(other.bytes_)
{
    other.bytes_ = 0;
}

DecodeBudget::Share::~Share()
{
    if (!bytes_)
        return;
    auto& book = ledger();
    {
        std::lock_guard guard(book.lock);
        book.used -= bytes_;
    }
    book.freed.notify_all();
}

std::variant<DecodeBudget::Share, std::string> DecodeBudget::reserve(const std::string& path)
{
    const auto need = needOf(path);
    if (!need)
        return std::string();
    return reserve(*need);
}

std::variant<DecodeBudget::Share, std::string> DecodeBudget::reserve(const Need& need)
{
    if (need.bytes > limits::decodeBudgetBytes)
        return std::to_string(need.width) + " x " + std::to_string(need.height) + " pixels would take "
            + std::to_string(need.bytes >> 20) + " MiB to decode, more than the " + std::to_string(limits::decodeBudgetBytes >> 20)
            + " MiB the viewer decodes with";
    auto& book = ledger();
    std::unique_lock guard(book.lock);
    book.freed.wait(guard, [&] { return book.used + need.bytes <= limits::decodeBudgetBytes; });
    book.used += need.bytes;
    return Share(need.bytes);
}

size_t DecodeBudget::inUse()
{
    auto& book = ledger();
    std::lock_guard guard(book.lock);
    return book.used;
}

} // namespace viewer
