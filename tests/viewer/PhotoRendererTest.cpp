// The photo renderer as the server uses it: many requests at once for the
// same photo, a walk through more photos than the cache holds, and photos at
// two sizes (the screen and a thumbnail).

#include "support/ImageFixtures.h"

#include "viewer/serve/PhotoRenderer.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <latch>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using viewer::PhotoRenderer;

namespace {

class PhotoRendererTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string reason;
        ASSERT_TRUE(PhotoRenderer::start("photo_renderer_tests", reason)) << reason;
    }

    std::vector<std::string> photos(int count)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i)
            paths.push_back(fixtures::writeJpeg(dir.path(), "photo" + std::to_string(i) + ".jpg", 400 + i, 300));
        return paths;
    }

    fixtures::TempDir dir;
    const PhotoRenderer::Box screen { 200, 200 };
};

// The decode of the first request waits until all eight are queued, so they
// overlap for certain. One decoding thread takes the queue in order: a ninth
// request, for another photo, is answered only after every decode queued
// before it has run.
TEST_F(PhotoRendererTest, EightRequestsAtOnceForOnePhotoDecodeItOnce)
{
    constexpr int kRequests = 8;
    std::latch queued(kRequests);
    auto decodeOnceAllAreQueued = [&queued, decode = PhotoRenderer::jpegDecoder()](
                                      const std::string& path, PhotoRenderer::Box box, const std::atomic<bool>& stopping) {
        queued.wait();
        return decode(path, box, stopping);
    };
    PhotoRenderer renderer(photos(2), { 1 << 20, 1 }, decodeOnceAllAreQueued);

    std::vector<std::promise<PhotoRenderer::Result>> promises(kRequests);
    std::vector<std::thread> requests;
    for (auto& promise : promises)
        requests.emplace_back([&] {
            renderer.render(0, screen, [&promise](const PhotoRenderer::Result& result) { promise.set_value(result); });
            queued.count_down();
        });
    std::vector<PhotoRenderer::Result> results;
    for (auto& promise : promises)
        results.push_back(promise.get_future().get());
    for (auto& request : requests)
        request.join();

    for (const auto& result : results) {
        ASSERT_TRUE(result.image) << result.error;
        EXPECT_EQ(result.image, results.front().image); // one image, shared
        EXPECT_EQ(result.image->width, 200);
        EXPECT_EQ(result.image->height, 150);
    }
    ASSERT_TRUE(renderer.renderAndWait(1, screen).image);
    EXPECT_EQ(renderer.decodeCount(), 2u); // photo 0 once, photo 1 once
}

TEST_F(PhotoRendererTest, TheCacheKeepsTheRecentlyUsedWithinItsBytes)
{
    auto paths = photos(3);
    size_t onePhoto = 0;
    {
        PhotoRenderer probe(paths, { 1 << 20, 1 });
        onePhoto = probe.renderAndWait(0, screen).image->bytes.size();
    }
    // Room for two rendered photos, not three.
    PhotoRenderer renderer(paths, { onePhoto * 2 + onePhoto / 2, 1 });
    renderer.renderAndWait(0, screen);
    renderer.renderAndWait(1, screen);
    renderer.renderAndWait(0, screen); // 0 is now the most recent
    EXPECT_EQ(renderer.decodeCount(), 2u);
    renderer.renderAndWait(2, screen); // forgets 1, the least recent
    renderer.renderAndWait(0, screen);
    EXPECT_EQ(renderer.decodeCount(), 3u);
    renderer.renderAndWait(1, screen);
    EXPECT_EQ(renderer.decodeCount(), 4u);
}

TEST_F(PhotoRendererTest, ASizeIsPartOfTheRequestAndBadPhotosSayWhy)
{
    auto paths = photos(1);
    paths.push_back(fixtures::writeFile(dir.path(), "broken.jpg", "\xff\xd8\xff not a photo"));
    PhotoRenderer renderer(paths, { 1 << 20, 2 });
    auto full = renderer.renderAndWait(0, screen);
    auto thumbnail = renderer.renderAndWait(0, { 60, 60 });
    ASSERT_TRUE(full.image && thumbnail.image);
    EXPECT_EQ(thumbnail.image->width, 60);
    EXPECT_EQ(thumbnail.image->height, 45);
    EXPECT_EQ(renderer.decodeCount(), 2u);

    auto broken = renderer.renderAndWait(1, screen);
    EXPECT_FALSE(broken.image);
    EXPECT_NE(broken.error.find("broken.jpg"), std::string::npos) << broken.error;
    EXPECT_EQ(renderer.renderAndWait(2, screen).error, "no photo 2");
}


// A decoder that records the order of its decodes; the decode of "0" holds
// its thread until let go, so every request can be in before the rest run.
class HeldRecorder {
public:
    PhotoRenderer::Decoder decoder()
    {
        return [this](const std::string& path, PhotoRenderer::Box, const std::atomic<bool>&) {
            if (path == "0") {
                running_.set_value();
                open_.wait();
            }
            std::lock_guard guard(lock_);
            decoded_.push_back(path);
            return PhotoRenderer::Result { std::make_shared<PhotoRenderer::Image>(), {} };
        };
    }
    void waitUntilHeld() { running_.get_future().wait(); }
    void letGo() { gate_.set_value(); }
    std::vector<std::string> decoded()
    {
        std::lock_guard guard(lock_);
        return decoded_;
    }

private:
    std::promise<void> gate_, running_;
    std::shared_future<void> open_ = gate_.get_future().share();
    std::mutex lock_;
    std::vector<std::string> decoded_;
};

// The page asks for the rows in view now: a later group is decoded before an
// earlier one, and a group whose client has gone is never decoded for it. A
// photo both a withdrawn group and an older one wait for moves back to the
// older one's place.
TEST_F(PhotoRendererTest, TheNewestGroupIsDecodedFirstAndAWithdrawnOneNotAtAll)
{
    HeldRecorder recorder;
    PhotoRenderer renderer({ "0", "1", "2", "3", "4", "5", "6" }, { 1 << 20, 1 }, recorder.decoder());
    std::atomic<int> answered = 0;
    std::atomic<bool> withdrawnAnswered = false;
    auto count = [&answered](const PhotoRenderer::Result&) { ++answered; };

    renderer.render(0, screen, count, renderer.newGroup());
    recorder.waitUntilHeld();
    const auto older = renderer.newGroup();
    const auto newer = renderer.newGroup();
    const auto gone = renderer.newGroup();
    renderer.render(1, screen, count, older);
    renderer.render(2, screen, count, older);
    renderer.render(3, screen, count, newer);
    renderer.render(4, screen, count, newer);
    renderer.render(5, screen, [&](const PhotoRenderer::Result&) { withdrawnAnswered = true; }, gone);
    renderer.render(6, screen, [&](const PhotoRenderer::Result&) { withdrawnAnswered = true; }, gone);
    renderer.render(6, screen, count, older);
    renderer.withdraw(gone);
    recorder.letGo();

    renderer.renderAndWait(0, screen); // cached: no decode
    while (answered < 6)
        std::this_thread::yield();
    renderer.stop(std::chrono::seconds(10));
    EXPECT_EQ(recorder.decoded(), (std::vector<std::string> { "0", "3", "4", "1", "2", "6" }));
    EXPECT_FALSE(withdrawnAnswered);
    EXPECT_EQ(answered, 6);
}

// A thumbnail wanted with no one waiting for it (a screen of previews left
// at once) is made behind every group, even once a group that asked for it
// too has gone; asked for after the renderer is gone, nothing happens.
TEST_F(PhotoRendererTest, BackgroundRendersComeAfterEveryGroupAndOutliveAGroupThatLeft)
{
    HeldRecorder recorder;
    auto renderer = std::make_optional<PhotoRenderer>(std::vector<std::string> { "0", "1", "2", "3", "4" }, PhotoRenderer::Limits { 1 << 20, 1 },
        recorder.decoder());
    const PhotoRenderer::Background background = renderer->background();
    std::atomic<bool> leftAnswered = false;
    renderer->render(0, screen, [](const PhotoRenderer::Result&) {}, renderer->newGroup());
    recorder.waitUntilHeld();
    background(1, screen);
    background(2, screen);
    const auto row = renderer->newGroup();
    const auto left = renderer->newGroup();
    renderer->render(3, screen, [](const PhotoRenderer::Result&) {}, row);
    renderer->render(2, screen, [&](const PhotoRenderer::Result&) { leftAnswered = true; }, left);
    renderer->withdraw(left);
    recorder.letGo();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (recorder.decoded().size() < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    renderer.reset();
    background(4, screen);
    EXPECT_EQ(recorder.decoded(), (std::vector<std::string> { "0", "3", "1", "2" }));
    EXPECT_FALSE(leftAnswered);
}

// With a thread of its own for them, what no one waits for is made at once,
// beside a decode that holds every other thread, at the lowest priority; a
// render a group waits for is never that thread's, nor is one no one waits
// for ever another thread's, even when the one that could take it is busy.
TEST_F(PhotoRendererTest, ABackgroundThreadMakesWhatNoOneWaitsForAndNothingElse)
{
    struct Decode {
        std::string path;
        pid_t thread;
        int niceness;
    };
    // "0" holds the decoding thread, "3" the background one, until let go.
    struct Held {
        std::promise<void> running, gate;
        std::shared_future<void> open = gate.get_future().share();
    };
    std::map<std::string, Held> held;
    held["0"], held["3"];
    std::mutex lock;
    std::vector<Decode> decoded;
    auto record = [&](const std::string& path, PhotoRenderer::Box, const std::atomic<bool>&) {
        if (auto found = held.find(path); found != held.end()) {
            found->second.running.set_value();
            found->second.open.wait();
        }
        std::lock_guard guard(lock);
        decoded.push_back({ path, ::gettid(), ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())) });
        return PhotoRenderer::Result { std::make_shared<PhotoRenderer::Image>(), {} };
    };
    PhotoRenderer::Limits limits { 1 << 20, 1, 1 };
    limits.niceness = 7;
    PhotoRenderer renderer({ "0", "1", "2", "3", "4" }, limits, record);
    auto until = [&](size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            {
                std::lock_guard guard(lock);
                if (decoded.size() >= count || std::chrono::steady_clock::now() > deadline)
                    return;
            }
            std::this_thread::yield();
        }
    };
    const auto nothing = [](const PhotoRenderer::Result&) {};
    const PhotoRenderer::Background background = renderer.background();
    renderer.render(0, screen, nothing, renderer.newGroup());
    held["0"].running.get_future().wait();
    background(1, screen);
    until(1);
    // The background thread, idle, leaves "2" to the decoder and takes "3".
    renderer.render(2, screen, nothing, renderer.newGroup());
    background(3, screen);
    held["3"].running.get_future().wait();
    // The decoder, once free, makes "2" and leaves "4" to the background thread.
    background(4, screen);
    held["0"].gate.set_value();
    until(3);
    held["3"].gate.set_value();
    until(5);
    renderer.stop(std::chrono::seconds(10));

    std::lock_guard guard(lock);
    std::vector<std::string> order;
    for (const auto& decode : decoded)
        order.push_back(decode.path);
    ASSERT_EQ(order, (std::vector<std::string> { "1", "0", "2", "3", "4" }));
    const pid_t backgroundThread = decoded[0].thread, decoder = decoded[1].thread;
    EXPECT_NE(backgroundThread, decoder);
    EXPECT_EQ(decoded[0].niceness, 19);
    EXPECT_EQ(decoded[1].niceness, 7) << "the decoder at another niceness than its renderer's";
    EXPECT_EQ(decoded[2].thread, decoder) << "a group's render made by the background thread";
    EXPECT_EQ(decoded[3].thread, backgroundThread);
    EXPECT_EQ(decoded[4].thread, backgroundThread) << "a background render made by the decoder";
}

} // namespace
