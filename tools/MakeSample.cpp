// make-sample FOLDER
//
// Draws the project's sample photos, evening landscapes made of gradients,
// encodes them as JPEG and writes camera metadata into them. Each shows the
// viewer something of its own:
//   quorix-sample.jpg     TIFF facts, a full set of EXIF capture parameters and
//                         a position south and west of zero (negative coordinates)
//   no-position.jpg       camera facts but no position: the info table has no GPS rows
//   portrait-rotated.jpg  a portrait scene stored on its side with orientation 6,
//                         which the viewer must turn upright
//   dense-exif.jpg        every capture parameter the table knows and more, and a
//                         position north and east of zero
// The output is the same on every run.

#include <exiv2/exiv2.hpp>
#include <jpeglib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return { a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t };
}

// A sky from deep blue to orange at the horizon, a low sun, and two ranges
// of hills in front of it, the nearer one darker.
Colour pixel(int x, int y, int width, int height)
{
    const double u = static_cast<double>(x) / width;
    const double v = static_cast<double>(y) / height;
    Colour sky = mix({ 24, 40, 96 }, { 250, 150, 70 }, std::pow(v / 0.75, 1.6));

    const double sunX = 0.68, sunY = 0.56, sunRadius = 0.06;
    const double distance = std::hypot((u - sunX) * width / height, v - sunY);
    if (distance < sunRadius)
        sky = mix({ 255, 236, 180 }, { 255, 200, 120 }, distance / sunRadius);
    else
        sky = mix(sky, { 255, 210, 140 }, 0.85 * std::exp(-(distance - sunRadius) / 0.07));

    const double farRidge = 0.62 + 0.05 * std::sin(u * 7.0 + 1.0) + 0.02 * std::sin(u * 23.0);
    const double nearRidge = 0.74 + 0.06 * std::sin(u * 4.0 + 2.5) + 0.015 * std::sin(u * 31.0);
    if (v > nearRidge)
        return mix({ 40, 30, 45 }, { 15, 12, 20 }, (v - nearRidge) / (1.0 - nearRidge));
    if (v > farRidge)
        return mix({ 110, 70, 90 }, { 70, 45, 70 }, (v - farRidge) / 0.2);
    return sky;
}

// The scene as stored: upright, or (for orientation 6) a portrait scene
// turned a quarter to the left, so that turning it right stands it up.
Colour storedPixel(int x, int y, bool sideways)
{
    if (!sideways)
        return pixel(x, y, kWidth, kHeight);
    // Displayed, the photo is kHeight wide and kWidth tall; stored pixel
    // (x, y) shows at (kHeight - 1 - y, x).
    return pixel(kHeight - 1 - y, x, kHeight, kWidth);
}

bool writeJpeg(const std::string& path, bool sideways)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        return false;

    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.get());
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);

    std::vector<JSAMPLE> row(kWidth * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < kWidth; ++x) {
            Colour c = storedPixel(x, y, sideways);
            row[static_cast<size_t>(x) * 3 + 0] = static_cast<JSAMPLE>(std::lround(c.r));
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(std::lround(c.g));
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(std::lround(c.b));
        }
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// Each value in exiv2's text form for the tag's type: rationals as n/d,
// several components separated by spaces.
using Entry = std::pair<const char*, const char*>;

constexpr Entry kMetadata[] = {
    { "Exif.Image.Make", "Quorix Project" },
    { "Exif.Image.Model", "Gradient Camera G1" },
    { "Exif.Image.Orientation", "1" },
    { "Exif.Image.XResolution", "72/1" },
    { "Exif.Image.YResolution", "72/1" },
    { "Exif.Image.ResolutionUnit", "2" },
    { "Exif.Image.Software", "make-sample 1.0" },
    { "Exif.Image.DateTime", "2014:05:06 18:42:17" },

    { "Exif.Photo.ExposureTime", "1/400" },
    { "Exif.Photo.FNumber", "22/10" },
    { "Exif.Photo.ExposureProgram", "2" },
    { "Exif.Photo.ISOSpeedRatings", "50" },
    { "Exif.Photo.ExifVersion", "48 50 51 48" },
    { "Exif.Photo.DateTimeOriginal", "2014:05:06 18:42:17" },
    { "Exif.Photo.DateTimeDigitized", "2014:05:06 18:42:17" },
    { "Exif.Photo.ShutterSpeedValue", "8644/1000" },
    { "Exif.Photo.ApertureValue", "2275/1000" },
    { "Exif.Photo.BrightnessValue", "93/10" },
    { "Exif.Photo.ExposureBiasValue", "-1/2" },
    { "Exif.Photo.MaxApertureValue", "2275/1000" },
    { "Exif.Photo.SubjectDistance", "4294967295/1" },
    { "Exif.Photo.MeteringMode", "5" },
    { "Exif.Photo.LightSource", "9" },
    { "Exif.Photo.Flash", "24" },
    { "Exif.Photo.FocalLength", "415/100" },
    { "Exif.Photo.ColorSpace", "1" },
    { "Exif.Photo.PixelXDimension", "640" },
    { "Exif.Photo.PixelYDimension", "480" },
    { "Exif.Photo.SensingMethod", "2" },
    { "Exif.Photo.CustomRendered", "0" },
    { "Exif.Photo.ExposureMode", "0" },
    { "Exif.Photo.WhiteBalance", "0" },
    { "Exif.Photo.DigitalZoomRatio", "1/1" },
    { "Exif.Photo.FocalLengthIn35mmFilm", "29" },
    { "Exif.Photo.SceneCaptureType", "1" },
    { "Exif.Photo.GainControl", "0" },
    { "Exif.Photo.Contrast", "0" },
    { "Exif.Photo.Saturation", "1" },
    { "Exif.Photo.Sharpness", "2" },
    { "Exif.Photo.SubjectDistanceRange", "3" },
    { "Exif.Photo.Gamma", "22/10" },

};

// The summit of a hill south and west of zero: 22°56'55.17" S, 43°09'26.80" W.
constexpr Entry kSouthWest[] = {
    { "Exif.GPSInfo.GPSVersionID", "2 3 0 0" },
    { "Exif.GPSInfo.GPSLatitudeRef", "S" },
    { "Exif.GPSInfo.GPSLatitude", "22/1 56/1 5517/100" },
    { "Exif.GPSInfo.GPSLongitudeRef", "W" },
    { "Exif.GPSInfo.GPSLongitude", "43/1 9/1 2680/100" },
    { "Exif.GPSInfo.GPSAltitudeRef", "0" },
    { "Exif.GPSInfo.GPSAltitude", "396/1" },
    { "Exif.GPSInfo.GPSMapDatum", "WGS-84" },
};

// A harbour north and east of zero: 59°54'27.00" N, 10°44'40.50" E.
constexpr Entry kNorthEast[] = {
    { "Exif.GPSInfo.GPSVersionID", "2 3 0 0" },
    { "Exif.GPSInfo.GPSLatitudeRef", "N" },
    { "Exif.GPSInfo.GPSLatitude", "59/1 54/1 2700/100" },
    { "Exif.GPSInfo.GPSLongitudeRef", "E" },
    { "Exif.GPSInfo.GPSLongitude", "10/1 44/1 4050/100" },
    { "Exif.GPSInfo.GPSAltitudeRef", "0" },
    { "Exif.GPSInfo.GPSAltitude", "12/1" },
};

// Capture parameters beyond the usual set, so the table is as full as it gets.
constexpr Entry kDenseExtras[] = {
    { "Exif.Image.Artist", "Quorix Project" },
    { "Exif.Image.Copyright", "CC0" },
    { "Exif.Photo.ExposureIndex", "100/1" },
    { "Exif.Photo.FlashEnergy", "5/1" },
    { "Exif.Photo.FocalPlaneXResolution", "4000/1" },
    { "Exif.Photo.FocalPlaneYResolution", "4000/1" },
    { "Exif.Photo.FocalPlaneResolutionUnit", "3" },
    { "Exif.Photo.SubjectArea", "320 240 80 60" },
    { "Exif.Photo.SubSecTimeOriginal", "25" },
    { "Exif.Photo.LensMake", "Quorix Project" },
    { "Exif.Photo.LensModel", "Gradient 4.15mm f/2.2" },
    { "Exif.Photo.BodySerialNumber", "G1-000042" },
    { "Exif.Photo.ISOSpeed", "50" },
    { "Exif.Photo.SpectralSensitivity", "visible" },
};

// The portrait stands on its side: the sensor's rows run up the scene.
constexpr Entry kSideways[] = {
    { "Exif.Image.Orientation", "6" },
    { "Exif.Photo.PixelXDimension", "640" },
    { "Exif.Photo.PixelYDimension", "480" },
    { "Exif.Photo.SceneCaptureType", "2" },
};

struct Sample {
    const char* name;
    bool sideways;
    std::vector<std::span<const Entry>> metadata; // later lists override earlier ones
};

std::vector<Sample> samples()
{
    return {
        { "quorix-sample.jpg", false, { kMetadata, kSouthWest } },
        { "no-position.jpg", false, { kMetadata } },
        { "portrait-rotated.jpg", true, { kMetadata, kSideways, kSouthWest } },
        { "dense-exif.jpg", false, { kMetadata, kDenseExtras, kNorthEast } },
    };
}

bool writeMetadata(const std::string& path, const Sample& sample)
{
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif;
    for (const auto& list : sample.metadata) {
        for (const auto& [key, value] : list) {
            if (exif[key].setValue(value) != 0) {
                std::cerr << "make-sample: cannot set " << key << " to " << value << '\n';
                return false;
            }
        }
    }
    image->setExifData(exif);
    image->writeMetadata();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-sample FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    for (const auto& sample : samples()) {
        const std::string output = folder + "/" + sample.name;
        if (!writeJpeg(output, sample.sideways)) {
            std::cerr << "make-sample: " << output << ": " << std::strerror(errno) << '\n';
            return 1;
        }
        try {
            if (!writeMetadata(output, sample))
                return 1;
        } catch (const Exiv2::AnyError& error) {
            std::cerr << "make-sample: " << output << ": " << error.what() << '\n';
            return 1;
        }
    }
    return 0;
}
