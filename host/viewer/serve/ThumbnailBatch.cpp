#include "viewer/serve/ThumbnailBatch.h"

#include "viewer/serve/ImageRequests.h"
#include "viewer/serve/ServerLimits.h"

#include <openssl/evp.h>

#include <algorithm>
#include <map>
#include <mutex>

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

std::variant<PreviewBatch, std::string> previewBatch(const QueryValue& query, size_t photos)
{
    auto asked = thumbnailBatch(query, photos);
    if (auto* refused = std::get_if<std::string>(&asked))
        return *refused;
    const auto side = numberBelow(query("side").value_or(""), limits::maxThumbnailSide + 1);
    if (!side || *side == 0)
        return "side= is the cell's side in points, up to " + std::to_string(limits::maxThumbnailSide);
    return PreviewBatch { std::get<ThumbnailBatch>(asked), int(*side) };
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

namespace {

// The data: URL of each thumbnail that some answer still holds, so that many
// clients asking for the same row share one encoding instead of each
// holding a copy until it has read its answer.
class SharedDataUrls {
public:
    std::shared_ptr<const std::string> of(const std::shared_ptr<const PhotoRenderer::Image>& image)
    {
        std::lock_guard guard(lock_);
        auto& entry = urls_[image.get()];
        // The address may be a later image's, once the first one is gone.
        if (entry.image.lock() == image) {
            if (auto url = entry.url.lock())
                return url;
        }
        auto url = std::make_shared<const std::string>(dataUrlOf(*image));
        entry = { image, url };
        if (urls_.size() > 2 * kept_) {
            std::erase_if(urls_, [](const auto& item) { return item.second.url.expired(); });
            kept_ = std::max(urls_.size(), size_t(64));
        }
        return url;
    }

private:
    struct Entry {
        std::weak_ptr<const PhotoRenderer::Image> image;
        std::weak_ptr<const std::string> url;
    };
    std::mutex lock_;
    std::map<const PhotoRenderer::Image*, Entry> urls_;
    size_t kept_ = 64;
};

SharedDataUrls& sharedUrls()
{
    static SharedDataUrls shared;
    return shared;
}

} // namespace

FormBody thumbnailBatchBody(size_t first, const std::vector<PhotoRenderer::Result>& results)
{
    auto& shared = sharedUrls();
    std::vector<FormPart> parts;
    parts.reserve(results.size());
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].image)
            parts.push_back({ std::to_string(first + i), "text/plain; charset=us-ascii", shared.of(results[i].image) });
        else
            parts.push_back({ std::to_string(first + i), "text/plain; charset=utf-8", std::make_shared<const std::string>(results[i].error) });
    }
    return encodeFormData(parts);
}

FormBody previewBatchBody(size_t first, const std::vector<PhotoRenderer::Result>& results)
{
    auto& shared = sharedUrls();
    std::vector<FormPart> parts;
    for (size_t i = 0; i < results.size(); ++i) {
        if (const auto& image = results[i].image)
            parts.push_back({ (image->fromPreview ? "preview " : "thumbnail ") + std::to_string(first + i), "text/plain; charset=us-ascii",
                shared.of(image) });
    }
    return encodeFormData(parts);
}

} // namespace viewer
