#pragma once

// The image-properties reader: what an image file says about itself, read
// from its metadata only (pixels are never decoded), for image 0.

#include "foundation/Forward.h"
#include "imageio/ImageProperties.h"
#include "runtime/ClassDefinition.h"

#include <memory>
#include <string>

class CGImageSource : public NSObject {
    QX_OBJECT(CGImageSource, NSObject)
public:
    ~CGImageSource() override;

    // The file's type, as a uniform type identifier ("public.jpeg",
    // "public.tiff", "public.png", "org.webmproject.webp", "public.heic",
    // "public.heif", "public.avif", "com.adobe.raw-image", ...).
    const std::string& type() const { return type_; }
    // Whether the file holds a still image (every type the reader opens does).
    bool isStillImage() const { return true; }

    struct Contents;

protected:
    explicit CGImageSource(std::unique_ptr<Contents> contents, std::string type);

private:
    friend Ref<NSDictionary> CGImageSourceCopyPropertiesAtIndex(const CGImageSource* source, size_t index, const NSDictionary* options);

    std::unique_ptr<Contents> contents_;
    std::string type_;
};

using CGImageSourceRef = Ref<CGImageSource>;

// nil when the URL is not a file URL, or the file cannot be opened or is not
// an image the reader knows. Never throws.
Ref<CGImageSource> CGImageSourceCreateWithURL(const NSURL* url, const NSDictionary* options);

// The property dictionary of image `index`: only index 0 exists. Keys and value
// kinds are those of ImageProperties.h. The dictionary and everything in it is
// immutable and made once per source, so every caller shares it. nil for any
// other index or a nil source.
Ref<NSDictionary> CGImageSourceCopyPropertiesAtIndex(const CGImageSource* source, size_t index, const NSDictionary* options);

const char* CGImageSourceGetType(const CGImageSource* source);
