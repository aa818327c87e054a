#include "foundation/NSRunLoop.h"

#include "runtime/AutoreleasePool.h"

#include <exception>

NSRunLoop& NSRunLoop::mainRunLoop()
{
    static auto* loop = new NSRunLoop; // never destroyed: other threads may still post during exit
    return *loop;
}

void NSRunLoop::perform(std::function<void()> task)
{
    {
        std::lock_guard guard(lock_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

size_t NSRunLoop::runRound()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard guard(lock_);
        batch.swap(queue_);
    }
    // A task that throws does not take the rest of the round with it; the
    // first error reaches the caller once the round is over.
    std::exception_ptr firstError;
    for (auto& task : batch) {
        AutoreleasePool pool;
        try {
            task();
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
    return batch.size();
}

size_t NSRunLoop::runUntilIdle(size_t maxRounds)
{
    size_t ran = 0;
    for (size_t round = 0; round < maxRounds; ++round) {
        size_t count = runRound();
        if (count == 0)
            break;
        ran += count;
    }
    return ran;
}

bool NSRunLoop::runOnce(std::chrono::milliseconds timeout)
{
    {
        std::unique_lock guard(lock_);
        wake_.wait_for(guard, timeout, [this] { return stopped_ || !queue_.empty(); });
        if (stopped_)
            return false;
    }
    runUntilIdle();
    return true;
}

void NSRunLoop::stop()
{
    {
        std::lock_guard guard(lock_);
        stopped_ = true;
    }
    wake_.notify_all();
}

bool NSRunLoop::isStopped() const
{
    std::lock_guard guard(lock_);
    return stopped_;
}
