#include "PhotoRenderer.h"

#include <vips/vips.h>

#include <future>
#include <malloc.h>

namespace viewer {

namespace {

// libvips keeps its last error per thread in a buffer; take it and clear it.
std::string takeVipsError()
{
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "cannot be decoded" : text;
}

struct ObjectUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImageRef = std::unique_ptr<VipsImage, ObjectUnref>;

} // namespace

PhotoRenderer::PhotoRenderer(std::vector<std::string> paths, Limits limits)
    : paths_(std::move(paths))
    , limits_(limits)
{
    for (unsigned i = 0; i < std::max(1u, limits_.decoders); ++i)
        decoders_.emplace_back([this] { decodeLoop(); });
}

PhotoRenderer::~PhotoRenderer()
{
    std::map<Key, std::vector<Done>> unanswered;
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        for (const Key& key : queue_)
            unanswered[key] = std::move(waiting_[key]);
        queue_.clear();
    }
    work_.notify_all();
    for (auto& [key, callers] : unanswered)
        for (auto& done : callers)
            done({ nullptr, "the viewer is stopping" });
    for (auto& thread : decoders_)
        thread.join();
}

PhotoRenderer::Limits PhotoRenderer::defaultLimits()
{
    return { defaultCacheBytes, std::max(1u, std::thread::hardware_concurrency()) };
}

bool PhotoRenderer::start(const char* programName, std::string& reason)
{
    if (VIPS_INIT(programName) != 0) {
        reason = takeVipsError();
        return false;
    }
    // Rendered photos are kept by the renderer itself; libvips's own cache
    // of operations would only hold a second copy.
    vips_cache_set_max(0);
    return true;
}

void PhotoRenderer::finish() { vips_shutdown(); }

void PhotoRenderer::render(size_t index, Box box, Done done)
{
    if (index >= paths_.size())
        return done({ nullptr, "no photo " + std::to_string(index) });
    const Key key { index, box.width, box.height };
    std::unique_lock guard(lock_);
    if (auto found = cache_.find(key); found != cache_.end()) {
        recent_.splice(recent_.begin(), recent_, found->second.recent);
        auto image = found->second.image;
        guard.unlock();
        return done({ std::move(image), {} });
    }
    if (stopping_) {
        guard.unlock();
        return done({ nullptr, "the viewer is stopping" });
    }
    auto [entry, first] = waiting_.try_emplace(key);
    entry->second.push_back(std::move(done));
    if (first) {
        queue_.push_back(key);
        guard.unlock();
        work_.notify_one();
    }
}

PhotoRenderer::Result PhotoRenderer::renderAndWait(size_t index, Box box)
{
    std::promise<Result> promise;
    render(index, box, [&promise](const Result& result) { promise.set_value(result); });
    return promise.get_future().get();
}

size_t PhotoRenderer::decodeCount() const
{
    std::lock_guard guard(lock_);
    return decodes_;
}

void PhotoRenderer::decodeLoop()
{
    for (;;) {
        std::unique_lock guard(lock_);
        work_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        const Key key = queue_.front();
        queue_.pop_front();
        ++decodes_;
        guard.unlock();

        const auto [index, width, height] = key;
        Result result = decode(paths_[index], { width, height });

        guard.lock();
        if (result.image)
            remember(key, result.image);
        auto callers = std::move(waiting_[key]);
        waiting_.erase(key);
        guard.unlock();
        for (auto& done : callers)
            done(result);
        // A decode leaves its large buffers free in this thread's malloc
        // arena; hand them back (once the answers are out), or the viewer
        // keeps its peak for good.
        malloc_trim(0);
    }
}

void PhotoRenderer::remember(const Key& key, const std::shared_ptr<const Image>& image)
{
    const size_t bytes = image->jpeg.size();
    if (bytes > limits_.cacheBytes)
        return;
    while (cachedBytes_ + bytes > limits_.cacheBytes) {
        auto oldest = cache_.find(recent_.back());
        cachedBytes_ -= oldest->second.image->jpeg.size();
        cache_.erase(oldest);
        recent_.pop_back();
    }
    recent_.push_front(key);
    cache_[key] = { image, recent_.begin() };
    cachedBytes_ += bytes;
}

PhotoRenderer::Result PhotoRenderer::decode(const std::string& path, Box box) const
{
    auto failed = [&path] { return Result { nullptr, path + ": " + takeVipsError() }; };
    // Reading the header costs nothing; refuse an image too big to decode
    // before any pixel is.
    {
        ImageRef header(vips_image_new_from_file(path.c_str(), nullptr));
        if (!header)
            return failed();
        const double pixels = double(vips_image_get_width(header.get())) * vips_image_get_height(header.get());
        if (pixels > maxDecodePixels)
            return { nullptr, path + ": " + std::to_string(vips_image_get_width(header.get())) + " x "
                    + std::to_string(vips_image_get_height(header.get())) + " pixels are too many to show" };
    }
    // vips_thumbnail decodes only as much as the box needs: JPEG shrinks on
    // load, HEIC takes its own preview when that is big enough. It applies
    // the EXIF orientation, so a portrait stored rotated stands up.
    VipsImage* raw = nullptr;
    if (vips_thumbnail(path.c_str(), &raw, box.width, "height", box.height, "size", VIPS_SIZE_DOWN, nullptr) != 0)
        return failed();
    ImageRef current(raw);

    // JPEG takes one or three bands of 8 bits: flatten any alpha onto black
    // (the viewer's background) and bring other colour spaces to sRGB.
    VipsImage* next = nullptr;
    if (vips_image_hasalpha(current.get())) {
        if (vips_flatten(current.get(), &next, nullptr) != 0)
            return failed();
        current.reset(next);
    }
    if (vips_colourspace(current.get(), &next, VIPS_INTERPRETATION_sRGB, nullptr) != 0)
        return failed();
    current.reset(next);

    void* buffer = nullptr;
    size_t length = 0;
    if (vips_jpegsave_buffer(current.get(), &buffer, &length, "Q", 85, "strip", TRUE, nullptr) != 0)
        return failed();
    auto image = std::make_shared<Image>();
    image->jpeg.assign(static_cast<const char*>(buffer), length);
    image->width = vips_image_get_width(current.get());
    image->height = vips_image_get_height(current.get());
    g_free(buffer);
    return { std::move(image), {} };
}

} // namespace viewer
