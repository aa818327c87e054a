#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <type_traits>

// The main thread's event loop. Every event (a tap, a notification from
// another thread, a request of the viewer's server) is one task, run on the
// thread that runs the loop inside an autorelease pool of its own, so memory
// stays flat however long a session goes.
class NSRunLoop {
public:
    static NSRunLoop& mainRunLoop();

    // Queues a task; any thread may call it.
    void perform(std::function<void()> task);

    // Runs queued tasks until none is left; tasks queued while a round runs
    // wait for the next round. Returns how many ran; stops after
    // `maxRounds` rounds so a task that keeps requeueing itself cannot hang
    // the caller.
    size_t runUntilIdle(size_t maxRounds = 1000);

    // Waits up to `timeout` for a task, then runs what is queued. False when
    // the loop was stopped.
    bool runOnce(std::chrono::milliseconds timeout);

    // Makes runOnce return false from now on, and wakes it.
    void stop();
    bool isStopped() const;

    // From another thread: runs `task` on the loop and waits for its result.
    // Exceptions travel back to the caller.
    template<class F>
    auto performAndWait(F task) -> std::invoke_result_t<F>
    {
        using R = std::invoke_result_t<F>;
        auto promise = std::make_shared<std::promise<R>>();
        auto result = promise->get_future();
        perform([promise, task = std::move(task)]() mutable {
            try {
                if constexpr (std::is_void_v<R>) {
                    task();
                    promise->set_value();
                } else {
                    promise->set_value(task());
                }
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        });
        return result.get();
    }

private:
    NSRunLoop() = default;
    size_t runRound();

    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopped_ = false;
};
