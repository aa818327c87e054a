// Writes the large photos the server benchmark decodes, once, into a folder:
//   camera-24mp.jpg   6000 x 4000, as a camera's JPEG
//   phone-12mp.heic   4032 x 3024, as a phone's HEIC
//   camera-45mp.heic  8256 x 5504, as a mirrorless camera's HEIC
// Smooth noise stands in for a scene: it costs what a real photo costs to
// decode, and compresses to an ordinary size. Usage: quorix_bench_photos DIR
//
// With --album COUNT it writes instead the album the album benchmark
// (bench/album_bench.py) opens: COUNT photos of 2000 x 1500, photo-NNNNN.jpg,
// each the scene in a tint of its own, so no two files are the same, and
// each with the 160 x 120 preview a camera embeds in its EXIF block.
// Usage: quorix_bench_photos --album COUNT DIR

#include <exiv2/exiv2.hpp>
#include <vips/vips.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

VipsImage* scene(int width, int height)
{
    // Noise at a sixteenth of the size, enlarged: blotches a few pixels
    // across, then fine grain on top, in three bands.
    VipsImage *coarse = nullptr, *large = nullptr, *grain = nullptr, *sum = nullptr, *bands = nullptr, *out = nullptr;
    if (vips_gaussnoise(&coarse, width / 16, height / 16, "mean", 128.0, "sigma", 60.0, nullptr)
        || vips_resize(coarse, &large, 16.0, nullptr)
        || vips_gaussnoise(&grain, vips_image_get_width(large), vips_image_get_height(large), "mean", 0.0, "sigma", 6.0, nullptr)
        || vips_add(large, grain, &sum, nullptr))
        return nullptr;
    VipsImage* three[] = { sum, sum, sum };
    if (vips_bandjoin(three, &bands, 3, nullptr) || vips_cast_uchar(bands, &out, nullptr))
        return nullptr;
    for (VipsImage* image : { coarse, large, grain, sum, bands })
        g_object_unref(image);
    vips_image_set_int(out, "interpretation", VIPS_INTERPRETATION_sRGB);
    return out;
}

bool write(const std::string& path, int width, int height)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return true;
    VipsImage* image = scene(width, height);
    const std::string partial = path + ".part" + path.substr(path.rfind('.'));
    const bool heic = path.ends_with(".heic");
    const int failed = !image
        || (heic ? vips_heifsave(image, partial.c_str(), "Q", 50, "compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC, nullptr)
                 : vips_jpegsave(image, partial.c_str(), "Q", 90, nullptr));
    if (image)
        g_object_unref(image);
    if (failed || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "quorix_bench_photos: %s: %s\n", path.c_str(), vips_error_buffer());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// Puts `photo`'s 160 x 120 preview into the EXIF block of its file at
// `path`, as a camera does. One photo at a time: exiv2 is not made to run
// on several threads.
bool embedPreview(const std::string& path, VipsImage* photo)
{
    static std::mutex exiv2;
    VipsImage* small = nullptr;
    void* buffer = nullptr;
    size_t length = 0;
    const bool made = vips_thumbnail_image(photo, &small, 160, "height", 120, nullptr) == 0
        && vips_jpegsave_buffer(small, &buffer, &length, "Q", 75, "strip", TRUE, nullptr) == 0;
    if (small)
        g_object_unref(small);
    if (!made)
        return false;
    bool written = false;
    try {
        std::lock_guard guard(exiv2);
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        exif["Exif.Image.Orientation"] = uint16_t(1);
        Exiv2::ExifThumb(exif).setJpegThumbnail(static_cast<const Exiv2::byte*>(buffer), length);
        image->setExifData(exif);
        image->writeMetadata();
        written = true;
    } catch (const Exiv2::Error& error) {
        std::fprintf(stderr, "quorix_bench_photos: %s: %s\n", path.c_str(), error.what());
    }
    g_free(buffer);
    return written;
}

// The album's photos, on every core; one already there is kept.
bool writeAlbum(const std::string& dir, int count)
{
    VipsImage* rendered = scene(2000, 1500);
    VipsImage* base = rendered ? vips_image_copy_memory(rendered) : nullptr;
    if (rendered)
        g_object_unref(rendered);
    if (!base)
        return false;
    std::atomic<int> next { 0 };
    std::atomic<bool> ok { true };
    auto work = [&] {
        for (int i; ok && (i = next++) < count;) {
            char name[32];
            std::snprintf(name, sizeof name, "/photo-%05d.jpg", i);
            const std::string path = dir + name;
            struct stat info {};
            if (::stat(path.c_str(), &info) == 0)
                continue;
            double scale[3] = { 0.6 + 0.4 * (i % 7) / 6, 0.6 + 0.4 * (i % 11) / 10, 0.6 + 0.4 * (i % 13) / 12 };
            double offset[3] = { double(i % 50), double(i / 50 % 50), double(i / 2500 % 50) };
            VipsImage* tinted = nullptr;
            const std::string partial = path + ".part.jpg";
            if (vips_linear(base, &tinted, scale, offset, 3, "uchar", TRUE, nullptr)
                || vips_jpegsave(tinted, partial.c_str(), "Q", 85, nullptr) || !embedPreview(partial, tinted)
                || std::rename(partial.c_str(), path.c_str()) != 0) {
                std::fprintf(stderr, "quorix_bench_photos: %s: %s\n", path.c_str(), vips_error_buffer());
                ok = false;
            }
            if (tinted)
                g_object_unref(tinted);
        }
    };
    std::vector<std::thread> threads;
    for (unsigned n = std::max(1u, std::thread::hardware_concurrency()); n--;)
        threads.emplace_back(work);
    for (auto& thread : threads)
        thread.join();
    g_object_unref(base);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const bool album = argc == 4 && std::string(argv[1]) == "--album" && std::atoi(argv[2]) > 0;
    if (argc != 2 && !album) {
        std::fprintf(stderr, "usage: quorix_bench_photos DIR | --album COUNT DIR\n");
        return 2;
    }
    if (VIPS_INIT(argv[0]) != 0)
        return 1;
    if (album) {
        ::mkdir(argv[3], 0755);
        const bool ok = writeAlbum(argv[3], std::atoi(argv[2]));
        vips_shutdown();
        return ok ? 0 : 1;
    }
    const std::string dir = argv[1];
    ::mkdir(dir.c_str(), 0755);
    const bool ok = write(dir + "/camera-24mp.jpg", 6000, 4000) && write(dir + "/phone-12mp.heic", 4032, 3024)
        && write(dir + "/camera-45mp.heic", 8256, 5504);
    vips_shutdown();
    return ok ? 0 : 1;
}
