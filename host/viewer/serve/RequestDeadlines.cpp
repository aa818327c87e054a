#include "viewer/serve/RequestDeadlines.h"

#include <sys/socket.h>

namespace viewer {

RequestDeadlines::RequestDeadlines(std::chrono::seconds limit, size_t maxWaiting, size_t maxOpen)
    : limit_(limit)
    , maxWaiting_(maxWaiting)
    , maxOpen_(maxOpen)
    , watcher_([this] { watch(); })
{
}

RequestDeadlines::~RequestDeadlines()
{
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    watcher_.join();
}

void RequestDeadlines::opened(const void* connection, int fd)
{
    std::lock_guard guard(lock_);
    connections_[connection] = { fd, true, Clock::now() };
    size_t waiting = 0;
    Entry* longest = nullptr;
    for (auto& [other, entry] : connections_)
        if (entry.waiting) {
            ++waiting;
            if (!longest || entry.since < longest->since)
                longest = &entry;
        }
    if (longest && (waiting > maxWaiting_ || connections_.size() > maxOpen_)) {
        ::shutdown(longest->fd, SHUT_RDWR);
        longest->waiting = false;
    }
}

void RequestDeadlines::requestArrived(const void* connection)
{
    std::lock_guard guard(lock_);
    if (auto found = connections_.find(connection); found != connections_.end())
        found->second.waiting = false;
}

void RequestDeadlines::answered(const void* connection)
{
    std::lock_guard guard(lock_);
    if (auto found = connections_.find(connection); found != connections_.end())
        found->second = { found->second.fd, true, Clock::now() };
}

void RequestDeadlines::closed(const void* connection)
{
    std::lock_guard guard(lock_);
    connections_.erase(connection);
}

void RequestDeadlines::watch()
{
    std::unique_lock guard(lock_);
    while (!stopping_) {
        const auto now = Clock::now();
        for (auto& [connection, entry] : connections_)
            if (entry.waiting && now - entry.since > limit_) {
                ::shutdown(entry.fd, SHUT_RDWR);
                entry.waiting = false; // once is enough
            }
        // Checked a few times per limit: a late connection goes within a second of its deadline.
        wake_.wait_for(guard, std::chrono::milliseconds(500));
    }
}

} // namespace viewer
