#pragma once

#include "corelocation/CLLocation.h"
#include "foundation/NSDate.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"

#include <optional>
#include <string>
#include <string_view>

// The host's photo object, backed by one file on disk.
//
// The host declares the four size properties ("width", "height",
// "originalWidth", "originalHeight") in one of two ways, as different host
// releases do: as NSNumber objects ("T@\"NSNumber\",R,N") or as plain integers
// ("Tq,R,N"), and the methods answer with the matching type. Which one is a
// process-wide choice made once, when the class registers (the host library
// loads): the environment variable QUORIX_HOST_SIZE_PROPERTIES set to
// "integer" chooses integers, anything else objects. One process cannot hold
// both, since a class name is registered once.
//
// Its capture date (`date`) is the one the photo's own metadata records, as a
// photo library keeps it; `modificationDate` is the file's. It never answers
// `dateCreated`.
class PLManagedAsset : public NSObject {
    QX_OBJECT(PLManagedAsset, NSObject)
public:
    enum class SizeDeclaration {
        Object,
        Integer,
    };
    static constexpr const char* SizeDeclarationVariable = "QUORIX_HOST_SIZE_PROPERTIES";

    // The declaration kind of this process; fixed once the class is registered.
    static SizeDeclaration sizeDeclaration();

    // An asset for the file at `path` (relative paths are taken against the
    // current directory). The file need not exist; what cannot be read is
    // simply absent.
    static Ref<PLManagedAsset> assetWithPath(std::string_view path);

    // The absolute path, lexically normalised ("." and ".." resolved without
    // touching the disk, so symbolic links are kept as given); nil for an empty path.
    Ref<NSString> pathForImageFile() const;
    // The last path component.
    Ref<NSString> filename() const;
    // The absolute path's parent, without a trailing slash ("/" at the root).
    Ref<NSString> directory() const;

    // The image reader opens the file as a still image.
    bool isPhoto() const;
    bool isJPEG() const;
    // A movie container by its leading bytes, or a movie file name extension.
    bool isVideo() const;

    struct PixelSize {
        NSInteger width = 0;
        NSInteger height = 0;
    };
    // As displayed: after the EXIF orientation (5 to 8 turn the picture a
    // quarter, so width and height trade places), or a HEIF's own rotation
    // and crop. nullopt when the file gives no pixel size.
    std::optional<PixelSize> displayedSize() const;
    // As stored in the file.
    std::optional<PixelSize> storedSize() const;

    // Where the picture was taken: this host keeps no positions of its own.
    Ref<CLLocation> location() const { return nullptr; }
    // Where the file says it was taken (its GPS dictionary, in signed
    // degrees), read with the other facts; nullopt for a file that is not a
    // photo or gives no position on the globe.
    std::optional<CLLocationCoordinate2D> filePosition() const;
    // The file's modification time; nil when the file cannot be examined.
    Ref<NSDate> modificationDate() const;
    // When the photo was taken: the first of EXIF DateTimeOriginal,
    // DateTimeDigitized and the TIFF DateTime that reads as a date, else the
    // file's modification time. The texts carry no time zone and are read
    // in the process's own, as the library reads DateTimeOriginal, so a
    // photo's stamp shows the camera's clock whichever of them the camera
    // wrote. Found once and kept.
    Ref<NSDate> date() const;

protected:
    explicit PLManagedAsset(std::string path)
        : path_(std::move(path))
    {
    }

private:
    // What the image reader says about the file, read on first need.
    struct ImageFacts {
        bool photo = false;
        std::string type;
        std::optional<PixelSize> stored;
        std::optional<PixelSize> shown;
        bool videoContent = false;
        std::optional<CLLocationCoordinate2D> position;
    };
    const ImageFacts& facts() const;

    // The sizes as properties declared as objects answer them (nil where
    // absent): made on first request and kept, as the facts are.
    struct SizeNumbers {
        Ref<NSNumber> width, height, originalWidth, originalHeight;
    };
    const SizeNumbers& sizeNumbers() const;

    // The path's texts as string objects, made on first request and kept.
    struct PathTexts {
        Ref<NSString> path, filename, directory;
    };

    std::string path_;
    mutable PathTexts texts_;
    mutable std::optional<ImageFacts> facts_;
    mutable std::optional<SizeNumbers> sizeNumbers_;
    mutable std::optional<Ref<NSDate>> date_;
};

namespace host {

// The absolute, lexically normal form of a path; "" for an empty path.
std::string normalisedAbsolutePath(std::string_view path);
// Whether the leading bytes are those of a movie container (ISO base media
// with a movie brand, QuickTime, AVI, Matroska/WebM).
bool looksLikeVideo(std::string_view leadingBytes);
// Whether the file name ends in a movie extension (any letter case).
bool hasVideoExtension(std::string_view path);

} // namespace host
