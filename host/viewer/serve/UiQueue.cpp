#include "viewer/serve/UiQueue.h"

#include "foundation/NSRunLoop.h"
#include "runtime/AutoreleasePool.h"

namespace viewer {

UiQueue::UiQueue()
    : thread_([this] { run(); })
{
}

UiQueue::~UiQueue() { stop(); }

void UiQueue::push(std::function<void()> task)
{
    {
        std::lock_guard guard(lock_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void UiQueue::stop()
{
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        tasks_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void UiQueue::run()
{
    for (;;) {
        std::unique_lock guard(lock_);
        wake_.wait(guard, [this] { return stopping_ || !tasks_.empty(); });
        if (stopping_)
            return;
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        guard.unlock();
        NSRunLoop::mainRunLoop().performAndWait([&task] {
            AutoreleasePool pool;
            task();
        });
    }
}

} // namespace viewer
