#include "viewer/serve/PhotoRenderer.h"

#include "viewer/serve/DecodeBudget.h"

#include <vips/vips.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <list>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

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

// Called by libvips as it computes an image: once the renderer stops, the
// computation is told to end, so a stop does not wait for a long decode.
void killWhenStopping(VipsImage* image, VipsProgress*, const std::atomic<bool>* stopping)
{
    if (stopping->load())
        vips_image_set_kill(image, TRUE);
}

PhotoRenderer::Result decode(const std::string& path, PhotoRenderer::Box box, const std::atomic<bool>& stopping);

// The niceness of the threads that make what no one waits for: the lowest.
constexpr int backgroundNiceness = 19;

} // namespace

// Everything the decoding threads use, shared with them: a thread still
// decoding when the renderer is gone finishes on its own.
struct PhotoRenderer::State {
    using Key = std::tuple<size_t, int, int>; // index, width, height
    struct Cached {
        std::shared_ptr<const Image> image;
        std::list<Key>::iterator recent;
    };
    struct Waiter {
        Group group;
        Done done;
    };
    // A decode asked for and not yet finished, and who waits for it.
    struct Pending {
        std::vector<Waiter> waiters;
        Group rank = 0; // the newest group among its waiters: where it stands in the queue
        unsigned long long order = 0; // when it was asked for: first come, first served within a group
        bool running = false;
    };
    // Place in the queue: the newest group first, then the first asked.
    struct Queued {
        Group rank;
        unsigned long long order;
        Key key;
        bool operator<(const Queued& other) const
        {
            return rank != other.rank ? rank > other.rank : order < other.order;
        }
    };

    State(std::vector<std::string> photos, Limits bounds, Decoder maker)
        : paths(std::move(photos))
        , limits(bounds)
        , decoder(std::move(maker))
    {
    }

    void render(size_t index, Box box, Done done, Group group);
    // `background`: a thread that takes only the renders no group waits for.
    void decodeLoop(bool background);
    // The queued decode such a thread takes next, or the queue's end.
    std::set<Queued>::iterator next(bool background);
    void remember(const Key& key, const std::shared_ptr<const Image>& image);
    // Moves a queued decode to the place its waiters' newest group gives it.
    void requeue(const Key& key, Pending& pending, Group rank);

    const std::vector<std::string> paths;
    const Limits limits;
    const Decoder decoder;
    std::mutex lock;
    std::condition_variable work; // a decode is queued, or stopping
    std::condition_variable idle; // a decoding thread has ended
    std::atomic<bool> stopping = false;
    std::set<Queued> queue; // decodes not begun, the next one first
    std::map<Key, Pending> waiting; // decodes queued or running
    std::atomic<Group> groups = 0;
    unsigned long long asked = 0;
    std::map<Key, Cached> cache;
    std::list<Key> recent; // most recently used first
    size_t cachedBytes = 0;
    size_t decodes = 0;
    unsigned threads = 0; // decoding threads still running
};

PhotoRenderer::PhotoRenderer(std::vector<std::string> paths, Limits limits, Decoder decoder)
    : state_(std::make_shared<State>(std::move(paths), limits, std::move(decoder)))
{
    const unsigned decoders = std::max(1u, limits.decoders);
    state_->threads = decoders + limits.backgroundDecoders;
    for (unsigned i = 0; i < state_->threads; ++i)
        std::thread([state = state_, background = i >= decoders] { state->decodeLoop(background); }).detach();
}

PhotoRenderer::~PhotoRenderer()
{
    // After a stop that let a decode run on, that decode keeps the state alive.
    if (!state_->stopping)
        stop(std::chrono::hours(1));
}

bool PhotoRenderer::stop(std::chrono::milliseconds grace)
{
    State& state = *state_;
    std::vector<State::Waiter> unanswered;
    std::unique_lock guard(state.lock);
    state.stopping = true;
    for (const auto& queued : state.queue) {
        auto& waiters = state.waiting[queued.key].waiters;
        std::move(waiters.begin(), waiters.end(), std::back_inserter(unanswered));
        state.waiting.erase(queued.key);
    }
    state.queue.clear();
    guard.unlock();
    state.work.notify_all();
    for (auto& waiter : unanswered)
        waiter.done({ nullptr, "the viewer is stopping" });
    guard.lock();
    return state.idle.wait_for(guard, grace, [&state] { return state.threads == 0; });
}

PhotoRenderer::Decoder PhotoRenderer::jpegDecoder() { return decode; }

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

size_t PhotoRenderer::count() const { return state_->paths.size(); }

PhotoRenderer::Group PhotoRenderer::newGroup() { return ++state_->groups; }

void PhotoRenderer::render(size_t index, Box box, Done done, Group group) { state_->render(index, box, std::move(done), group); }

PhotoRenderer::Background PhotoRenderer::background() const
{
    return [kept = std::weak_ptr<State>(state_)](size_t index, Box box) {
        if (auto state = kept.lock())
            state->render(index, box, [](const Result&) {}, 0);
    };
}

void PhotoRenderer::State::render(size_t index, Box box, Done done, Group group)
{
    if (index >= paths.size())
        return done({ nullptr, "no photo " + std::to_string(index) });
    const Key key { index, box.width, box.height };
    std::unique_lock guard(lock);
    if (auto found = cache.find(key); found != cache.end()) {
        recent.splice(recent.begin(), recent, found->second.recent);
        auto image = found->second.image;
        guard.unlock();
        return done({ std::move(image), {} });
    }
    if (stopping) {
        guard.unlock();
        return done({ nullptr, "the viewer is stopping" });
    }
    auto [entry, first] = waiting.try_emplace(key);
    Pending& pending = entry->second;
    pending.waiters.push_back({ group, std::move(done) });
    if (first) {
        pending = { std::move(pending.waiters), group, ++asked, false };
        queue.insert({ group, pending.order, key });
    } else if (!pending.running && group > pending.rank) {
        requeue(key, pending, group); // from the background threads' share, maybe
    } else {
        return;
    }
    guard.unlock();
    // Every thread: only one kind may take it.
    work.notify_all();
}

void PhotoRenderer::withdraw(Group group)
{
    State& state = *state_;
    std::vector<State::Waiter> dropped; // destroyed once the lock is free
    std::lock_guard guard(state.lock);
    for (auto entry = state.waiting.begin(); entry != state.waiting.end();) {
        auto& [key, pending] = *entry;
        auto& waiters = pending.waiters;
        const auto mine = std::stable_partition(waiters.begin(), waiters.end(), [group](const auto& w) { return w.group != group; });
        std::move(mine, waiters.end(), std::back_inserter(dropped));
        waiters.erase(mine, waiters.end());
        if (pending.running || pending.rank != group) {
            ++entry;
        } else if (waiters.empty()) {
            state.queue.erase({ pending.rank, pending.order, key });
            entry = state.waiting.erase(entry);
        } else {
            const auto newest = std::max_element(waiters.begin(), waiters.end(), [](const auto& a, const auto& b) { return a.group < b.group; });
            state.requeue(key, pending, newest->group);
            ++entry;
        }
    }
    // A decode left to the background threads now.
    state.work.notify_all();
}

void PhotoRenderer::State::requeue(const Key& key, Pending& pending, Group rank)
{
    queue.erase({ pending.rank, pending.order, key });
    pending.rank = rank;
    queue.insert({ rank, pending.order, key });
}

PhotoRenderer::Result PhotoRenderer::renderAndWait(size_t index, Box box)
{
    std::promise<Result> promise;
    render(index, box, [&promise](const Result& result) { promise.set_value(result); });
    return promise.get_future().get();
}

size_t PhotoRenderer::decodeCount() const
{
    std::lock_guard guard(state_->lock);
    return state_->decodes;
}

std::set<PhotoRenderer::State::Queued>::iterator PhotoRenderer::State::next(bool background)
{
    // Renders no group waits for rank 0, behind all others.
    if (background)
        return queue.lower_bound({ 0, 0, {} });
    if (limits.backgroundDecoders > 0 && !queue.empty() && queue.begin()->rank == 0)
        return queue.end();
    return queue.begin();
}

void PhotoRenderer::State::decodeLoop(bool background)
{
    // Decoding yields the cores to the threads that answer the page: with
    // one decoding thread per core busy through a fast scroll, the screen's
    // answer would otherwise wait for its turn behind them.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), background ? backgroundNiceness : limits.niceness);
    std::unique_lock guard(lock);
    for (;;) {
        auto taken = queue.end();
        work.wait(guard, [&] { return stopping || (taken = next(background)) != queue.end(); });
        if (taken == queue.end())
            break;
        const Key key = taken->key;
        queue.erase(taken);
        waiting[key].running = true;
        ++decodes;
        guard.unlock();

        const auto [index, width, height] = key;
        Result result = decoder(paths[index], { width, height }, stopping);

        guard.lock();
        if (result.image)
            remember(key, result.image);
        auto callers = std::move(waiting[key].waiters);
        waiting.erase(key);
        guard.unlock();
        for (auto& waiter : callers)
            waiter.done(result);
        // A decode leaves its large buffers free in this thread's malloc
        // arena; hand them back (once the answers are out), or the viewer
        // keeps its peak for good.
        malloc_trim(0);
        guard.lock();
    }
    --threads;
    idle.notify_all();
}

void PhotoRenderer::State::remember(const Key& key, const std::shared_ptr<const Image>& image)
{
    const size_t bytes = image->bytes.size();
    if (bytes > limits.cacheBytes)
        return;
    while (cachedBytes + bytes > limits.cacheBytes) {
        auto oldest = cache.find(recent.back());
        cachedBytes -= oldest->second.image->bytes.size();
        cache.erase(oldest);
        recent.pop_back();
    }
    recent.push_front(key);
    cache[key] = { image, recent.begin() };
    cachedBytes += bytes;
}

namespace {

PhotoRenderer::Result decode(const std::string& path, PhotoRenderer::Box box, const std::atomic<bool>& stopping)
{
    using Result = PhotoRenderer::Result;
    auto failed = [&path] { return Result { nullptr, path + ": " + takeVipsError() }; };
    // Reading the header costs nothing; refuse an image too big to decode
    // before any pixel is.
    const auto size = PhotoRenderer::declaredSize(path);
    if (!size)
        return failed();
    if (double(size->first) * size->second > PhotoRenderer::maxDecodePixels)
        return { nullptr, path + ": " + std::to_string(size->first) + " x " + std::to_string(size->second) + " pixels are too many to show" };
    // Its memory, counted against the process's budget: held until it is encoded.
    auto share = DecodeBudget::reserve(path);
    if (auto* refused = std::get_if<std::string>(&share))
        return refused->empty() ? failed() : Result { nullptr, path + ": " + *refused };
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

    // The pixels are computed while saving: that is what a stop interrupts.
    vips_image_set_progress(current.get(), TRUE);
    g_signal_connect(current.get(), "eval", G_CALLBACK(killWhenStopping), const_cast<std::atomic<bool>*>(&stopping));
    void* buffer = nullptr;
    size_t length = 0;
    if (vips_jpegsave_buffer(current.get(), &buffer, &length, "Q", 85, "strip", TRUE, nullptr) != 0)
        return failed();
    auto image = std::make_shared<PhotoRenderer::Image>();
    image->bytes.assign(static_cast<const char*>(buffer), length);
    image->width = vips_image_get_width(current.get());
    image->height = vips_image_get_height(current.get());
    g_free(buffer);
    return { std::move(image), {} };
}

} // namespace

std::optional<std::pair<int, int>> PhotoRenderer::declaredSize(const std::string& path)
{
    ImageRef header(vips_image_new_from_file(path.c_str(), nullptr));
    if (!header)
        return std::nullopt;
    return std::pair { vips_image_get_width(header.get()), vips_image_get_height(header.get()) };
}

} // namespace viewer
