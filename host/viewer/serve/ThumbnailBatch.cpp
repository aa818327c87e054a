#include "ThumbnailBatch.h"

#include "ImageRequests.h"
#include "ServerLimits.h"

#include <openssl/evp.h>

namespace viewer {

std::variant<ThumbnailBatch, std::string> thumbnailBatch(const QueryValue& query, size_t photos)
{
    const auto first = numberBelow(query("first").value_or(""), photos);
    if (!first)
        return "first= is the index of a photo, below " + std::to_string(photos);
    const auto count = numberBelow(query("count").value_or(""), limits::maxThumbnailsPerRequest + 1);
    if (!count || *count == 0)
        return "count= is from 1 to " + std::to_string(limits::maxThumbnailsPerRequest);
    if (*count > photos - *first)
        return "count= goes past the last photo, " + std::to_string(photos - 1);
    const auto box = thumbnailBox(query("size"));
    if (!box)
        return "size= is a number of pixels up to " + std::to_string(limits::maxThumbnailSide);
    return ThumbnailBatch { *first, *count, *box };
}

std::string dataUrlOf(const PhotoRenderer::Image& image)
{
    const std::string prefix = "data:" + image.contentType + ";base64,";
    std::string url(prefix.size() + 4 * ((image.bytes.size() + 2) / 3) + 1, '\0');
    url.replace(0, prefix.size(), prefix);
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(url.data() + prefix.size()),
        reinterpret_cast<const unsigned char*>(image.bytes.data()), int(image.bytes.size()));
    url.resize(prefix.size() + size_t(written));
    return url;
}

FormBody thumbnailBatchBody(size_t first, const std::vector<PhotoRenderer::Result>& results)
{
    std::vector<FormPart> parts;
    parts.reserve(results.size());
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].image)
            parts.push_back({ std::to_string(first + i), "text/plain; charset=us-ascii", std::make_shared<const std::string>(dataUrlOf(*results[i].image)) });
        else
            parts.push_back({ std::to_string(first + i), "text/plain; charset=utf-8", std::make_shared<const std::string>(results[i].error) });
    }
    return encodeFormData(parts);
}

} // namespace viewer
