#include "viewer/serve/JpegCodec.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <memory>

#include <jpeglib.h>

namespace viewer {

namespace {

// libjpeg reports errors by calling error_exit, which must not return: it
// jumps back to the call that started the work. Warnings (a damaged stream
// libjpeg would patch over) are errors here as well.
struct ErrorJump {
    jpeg_error_mgr manager {};
    std::jmp_buf back {};
};

[[noreturn]] void jumpBack(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->back, 1); }

void failOnWarning(j_common_ptr info, int level)
{
    if (level < 0)
        jumpBack(info);
}

void install(ErrorJump& errors, jpeg_common_struct& info)
{
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpBack;
    errors.manager.emit_message = failOnWarning;
}

// The decoding itself. No object with a destructor lives in this frame, so
// the jump back skips nothing; `out` is the caller's.
bool decodeInto(std::span<const uint8_t> bytes, size_t mostPixels, Raster& out)
{
    jpeg_decompress_struct info {};
    ErrorJump errors;
    install(errors, *reinterpret_cast<jpeg_common_struct*>(&info));
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    if ((!grey && info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB)
        || size_t(info.image_width) * info.image_height > mostPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = int(info.output_width);
    out.height = int(info.output_height);
    out.bands = info.output_components;
    out.samples.resize(size_t(out.width) * out.height * out.bands);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.samples.data() + size_t(info.output_scanline) * out.width * out.bands;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool encodeInto(const Raster& raster, int quality, unsigned char*& buffer, unsigned long& length)
{
    jpeg_compress_struct info {};
    ErrorJump errors;
    install(errors, *reinterpret_cast<jpeg_common_struct*>(&info));
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = JDIMENSION(raster.width);
    info.image_height = JDIMENSION(raster.height);
    info.input_components = raster.bands;
    info.in_color_space = raster.bands == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg reads the row, whatever its pointer's type says.
        JSAMPROW row = const_cast<uint8_t*>(raster.pixel(0, int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::optional<Raster> decodeJpeg(std::span<const uint8_t> bytes, size_t mostPixels)
{
    Raster raster;
    if (bytes.empty() || !decodeInto(bytes, mostPixels, raster))
        return std::nullopt;
    return raster;
}

std::optional<std::string> encodeJpeg(const Raster& raster, int quality)
{
    if (raster.width <= 0 || raster.height <= 0 || (raster.bands != 1 && raster.bands != 3))
        return std::nullopt;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    const bool made = encodeInto(raster, quality, buffer, length);
    // libjpeg allocates the buffer with malloc, and keeps it on failure too.
    std::unique_ptr<unsigned char, decltype(&std::free)> owned(buffer, &std::free);
    if (!made)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(buffer), length);
}

} // namespace viewer
