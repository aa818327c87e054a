#pragma once

// Small real image files made on the spot, with chosen metadata written into
// them through the metadata library, for tests that read images.
//
//   TempDir dir;
//   auto path = fixtures::writeJpeg(dir.path(), "a.jpg", 64, 48,
//       { { "Exif.Photo.FNumber", "22/10" },
//         { "Exif.Image.Make", "Canon" },
//         { "Exif.Photo.FNumber", "2.8", "Ascii" } }); // a type the tag never has
//
// Every function throws std::runtime_error when it cannot write its file.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fixtures {

// One metadata entry: an exiv2 key ("Exif.Photo.FNumber"), its value as
// exiv2 reads it from text ("22/10", "48/1 51/1 2988/100", "100 200") and,
// optionally, an exiv2 type name ("Ascii", "Short", "SRational", ...) to store
// it with instead of the tag's usual type.
struct ExifEdit {
    std::string key;
    std::string value;
    std::string type = {};
};

using ExifEdits = std::vector<ExifEdit>;

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the directory.
    std::string file(std::string_view name) const;

private:
    std::string path_;
};

// A baseline JPEG of the given size (a grey gradient), with the edits written
// into its EXIF block. Returns the file's path.
std::string writeJpeg(const std::string& dir, const std::string& name, int width, int height, const ExifEdits& edits = {});

// A colour of 8 bits a band.
struct Rgb {
    uint8_t red, green, blue;
};

// The bytes of a baseline colour JPEG (quality 95) of the given size whose
// pixel at (x, y) is `paint(x, y)`: a picture whose parts a test can still
// tell apart once it is turned, cut or scaled.
std::string jpegBytes(int width, int height, const std::function<Rgb(int x, int y)>& paint);

// An 8-bit greyscale PNG of the given size, with the edits written into it.
std::string writePng(const std::string& dir, const std::string& name, int width, int height, const ExifEdits& edits = {});

// An uncompressed 8-bit greyscale TIFF of the given size (one strip), with the
// edits written into its first directory and EXIF directory. The pixel data is
// written in pieces, so a file of hundreds of megabytes costs little memory
// as long as there are no edits (writing edits rewrites the whole file).
std::string writeTiff(const std::string& dir, const std::string& name, int width, int height, const ExifEdits& edits = {});

// Writes the edits into an existing image file.
void applyExif(const std::string& path, const ExifEdits& edits);

// Plain files, for the bytes of broken or foreign files.
std::string writeFile(const std::string& dir, const std::string& name, std::string_view bytes);
std::string readFile(const std::string& path);

} // namespace fixtures
